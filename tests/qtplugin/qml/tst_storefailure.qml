import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0
import KeldraTest 1.0

// A store whose database cannot be opened (its folder is taken by a file): the failure
// is reported before init returns, and the element stays usable for a retry.
TestCase {
    name: "StoreFailure"

    function initTestCase() {
        verify(TestControl.startBus(), TestControl.error())
        verify(TestControl.writeFile(".cities", "not a folder"))
    }

    function cleanupTestCase() {
        TestControl.removePath(".cities")
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function test_init_fails_at_once() {
        var store = createTemporaryQmlObject("import Keldra 1.0; Store {}", this)
        var progress = spy(store, "progressChanged")
        var done = spy(store, "initDone")
        store.init()
        compare(progress.count, 1)
        compare(progress.signalArguments[0][0], 0)
        compare(progress.signalArguments[0][1], 1)
        compare(done.count, 1)
        compare(store.getStatus(), 5)
        // Idle again: a second init reports again.
        store.init()
        compare(done.count, 2)
        // Reads give nothing; a search ends with the database's failure.
        compare(store.getObjectById(1), null)
        var searched = spy(store, "searchDone")
        store.search(store.createCriteria(), null, 0)
        tryCompare(searched, "count", 1, 20000)
        compare(store.getStatus(), 5)
        compare(store.lastResults.length, 0)
    }

    // The factory's store element behaves the same.
    function test_factory_store_fails_at_once() {
        var f = createTemporaryQmlObject("import Keldra 1.0; Keldra {}", this)
        var store = f.openLocalStore()
        verify(store !== null)
        var done = spy(store, "initDone")
        store.init()
        compare(done.count, 1)
        compare(store.getStatus(), 5)
        compare(f.setTargetServer("x"), false)
    }
}
