import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0
import KeldraTest 1.0

// Store on the real store file with the relay on the private bus: initialisation, paged
// search, typed results, writes and their change events, teardown while the library
// still works for the element.
TestCase {
    name: "Store"

    readonly property int inProgress: 0x6001

    function initTestCase() {
        verify(TestControl.startBus(), TestControl.error())
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function makeStore() {
        return createTemporaryQmlObject("import Keldra 1.0; Store {}", this)
    }

    function openStore() {
        var store = makeStore()
        var done = spy(store, "initDone")
        store.init()
        tryCompare(done, "count", 1, 20000)
        compare(store.getStatus(), 1)
        return store
    }

    // Removes every object so that each test sees only its own.
    function init() {
        var store = openStore()
        var events = spy(store, "storeEvent")
        var all = search(store, [], 0)
        for (var i = 0; i < all.length; ++i)
            verify(store.removeObjectById(all[i].LID))
        // Their events, and those an earlier test left on their way, must not reach the
        // test's own elements. The relay passes this process's events on in order, so
        // all have come once the removal of one more object, made last, is heard.
        var last = store.addObject(object("LocationObject", "last"))
        verify(last !== null)
        var lastId = last.targetLID
        verify(store.removeObjectById(lastId))
        tryVerify(function() {
            var e = events.count > 0 ? events.signalArguments[events.count - 1] : null
            return e !== null && e[0] === 3 && e[1] !== null && e[1].targetLID === lastId
        }, 20000, "the last removal heard")
        store.destroy()
    }

    function object(type, name) {
        var o = createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this)
        o.name = name
        return o
    }

    function addObjects(store, type, names) {
        var ids = []
        for (var i = 0; i < names.length; ++i) {
            var link = store.addObject(object(type, names[i]))
            verify(link !== null, "stored " + names[i])
            ids.push(link.targetLID)
        }
        return ids
    }

    function criteria(store, classes) {
        var c = store.createCriteria()
        if (classes.length > 0) c.setClasses(classes)
        return c
    }

    function byName(store) {
        var s = store.createSorting()
        s.setSort(s.SORT_BY_NAME, true)
        return s
    }

    // Runs a search to its searchDone; the page loaded (all results for max 0).
    function search(store, classes, max) {
        var done = spy(store, "searchDone")
        store.search(criteria(store, classes), byName(store), max)
        tryCompare(done, "count", 1, 20000)
        return store.getLastSearchResults()
    }

    function names(list) {
        var out = []
        for (var i = 0; i < list.length; ++i) out.push(list[i].name)
        return out
    }

    // The element's class, without namespace.
    function typeName(o) {
        var text = String(o).split("(")[0]
        return text.substring(text.lastIndexOf(":") + 1)
    }

    function numbered(count) {
        var out = []
        for (var i = 0; i < count; ++i) out.push("place " + (i < 10 ? "0" : "") + i)
        return out
    }

    function test_constants() {
        var store = makeStore()
        compare([store.NOTHING, store.OBJECT_CREATED, store.OBJECT_UPDATED, store.OBJECT_REMOVED,
                 store.DISCONNECTED, store.SYNC_STARTED, store.SYNC_STOPPED], [0, 1, 2, 3, 4, 5, 6])
        compare(store.getStatus(), 1)
        compare(store.getProgress(), 0)
        verify(!store.hasMoreResults())
    }

    function test_init_reports_and_ignores_a_second_init() {
        var store = makeStore()
        var progress = spy(store, "progressChanged")
        var done = spy(store, "initDone")
        store.init()
        store.init()
        tryCompare(done, "count", 1, 20000)
        TestControl.spin(100)
        compare(done.count, 1)
        var last = progress.signalArguments[progress.count - 1]
        compare([last[0], last[1]], [1, 0])
        compare(store.getStatus(), 1)
        compare(store.getProgress(), 100)
    }

    // 25 results in pages of 10, 10 and 5, earlier pages first (objects without metadata
    // names come in the order stored).
    function test_paged_search() {
        var store = openStore()
        var all = numbered(25)
        addObjects(store, "LocationObject", all)
        var done = spy(store, "searchDone")
        var progress = spy(store, "progressChanged")
        var c = criteria(store, ["location"])
        store.search(c, byName(store), 10)
        // Busy: refused without a signal.
        store.search(c, byName(store), 10)
        store.searchMore(10)
        store.init()
        tryCompare(done, "count", 1, 20000)
        compare(names(store.lastResults), all.slice(0, 10))
        compare(store.getProgress(), 100)
        compare(store.getStatus(), 1)
        for (var i = 0; i < progress.count; ++i) {
            var p = progress.signalArguments[i]
            verify(p[0] >= 0 && p[0] <= 1)
            verify(p[1] === 0 || p[1] === inProgress, "code " + p[1])
        }
        verify(store.hasMoreResults())
        store.searchMore(10)
        tryCompare(done, "count", 2, 20000)
        compare(names(store.lastResults), all.slice(10, 20))
        verify(store.hasMoreResults())
        store.searchMore(10)
        tryCompare(done, "count", 3, 20000)
        compare(names(store.getLastSearchResults()), all.slice(20))
        verify(!store.hasMoreResults())
        compare(names(store.allResults), all)
        compare(names(store.getAllSearchResults()), all)
        // Nothing left: an empty page, ended from the event loop.
        store.searchMore(10)
        compare(done.count, 3)
        tryCompare(done, "count", 4, 20000)
        compare(store.lastResults.length, 0)
        compare(store.allResults.length, 25)
    }

    // Objects found but removed before their page loads, here or by another process
    // through the relay: they are passed over and the page takes the next results in
    // their place; paging ends once every result was offered, no page is empty while
    // results remain, and no object comes twice. Five places in pages of two.
    function test_objects_removed_before_their_page_data() {
        return [
            { tag: "one of the next page", removed: [2], other: false,
              pages: [[0, 1], [3, 4]] },
            { tag: "one of the next page, other process", removed: [2], other: true,
              pages: [[0, 1], [3, 4]] },
            { tag: "a whole page, other process", removed: [2, 3], other: true,
              pages: [[0, 1], [4]] },
            { tag: "the last result", removed: [4], other: false,
              pages: [[0, 1], [2, 3], []] },
            { tag: "the last result, other process", removed: [4], other: true,
              pages: [[0, 1], [2, 3], []] },
            { tag: "every later result, other process", removed: [2, 3, 4], other: true,
              pages: [[0, 1], []] },
        ]
    }

    function test_objects_removed_before_their_page(row) {
        var store = openStore()
        var all = numbered(5)
        var ids = addObjects(store, "LocationObject", all)
        var pages = [names(search(store, ["location"], 2))]
        for (var i = 0; i < row.removed.length; ++i) {
            var lid = ids[row.removed[i]]
            if (row.other)
                verify(TestControl.removeInOtherProcess(lid))
            else
                verify(store.removeObjectById(lid))
        }
        var done = spy(store, "searchDone")
        while (store.hasMoreResults()) {
            verify(pages.length < 10, "paging ends")
            store.searchMore(2)
            tryCompare(done, "count", pages.length, 20000)
            var page = names(store.lastResults)
            if (page.length === 0) verify(!store.hasMoreResults(), "an empty page is the last")
            pages.push(page)
        }
        var expected = row.pages.map(function(p) {
            return p.map(function(i) { return all[i] })
        })
        compare(pages, expected)
        var kept = all.filter(function(n, i) { return row.removed.indexOf(i) < 0 })
        compare(names(store.allResults), kept)
        // Nothing left: a further page is empty and ends from the event loop.
        store.searchMore(2)
        tryCompare(done, "count", pages.length, 20000)
        compare(store.lastResults.length, 0)
        verify(!store.hasMoreResults())
    }

    function test_page_size_data() {
        return [
            { tag: "0 loads all", max: 0, first: 12 },
            { tag: "negative loads all", max: -3, first: 12 },
            { tag: "larger than the results", max: 50, first: 12 },
            { tag: "one", max: 1, first: 1 },
        ]
    }

    function test_page_size(row) {
        var store = openStore()
        addObjects(store, "RouteObject", numbered(12))
        var page = search(store, [], row.max)
        compare(page.length, row.first)
        compare(store.hasMoreResults(), row.first < 12)
        var done = spy(store, "searchDone")
        store.searchMore(0)
        // Every result is offered to that page at once.
        verify(!store.hasMoreResults())
        tryCompare(done, "count", 1, 20000)
        compare(store.allResults.length, 12)
    }

    function test_empty_search() {
        var store = openStore()
        var done = spy(store, "searchDone")
        var progress = spy(store, "progressChanged")
        store.search(criteria(store, ["route"]), byName(store), 10)
        tryCompare(done, "count", 1, 20000)
        TestControl.spin(100)
        compare(done.count, 1)
        verify(progress.count >= 1)
        compare(store.lastResults.length, 0)
        compare(store.allResults.length, 0)
        verify(!store.hasMoreResults())
    }

    // Results come as elements of their class; the class filters of the search and of
    // the result lists.
    function test_typed_results() {
        var store = openStore()
        addObjects(store, "LocationObject", ["a location"])
        addObjects(store, "RouteObject", ["b route"])
        addObjects(store, "CollectionObject", ["c collection"])
        var other = object("GenericObject", "d other")
        other.className = "note"
        verify(store.addObject(other) !== null)
        var all = search(store, [], 0)
        compare(names(all), ["a location", "b route", "c collection", "d other"])
        var types = all.map(typeName)
        compare(types, ["LocationObjectImpl", "RouteObjectImpl", "CollectionObjectImpl",
                        "GenericObjectImpl"])
        compare(names(store.getAllSearchResultsByClass("route")), ["b route"])
        compare(names(store.getLastSearchResultsByClass("collection")), ["c collection"])
        compare(store.getAllSearchResultsByClass("Route").length, 0)
        compare(names(search(store, ["location"], 0)), ["a location"])
    }

    // Without a sorting element the search runs unsorted; all objects still come.
    function test_null_sorting() {
        var store = openStore()
        addObjects(store, "LocationObject", ["b", "a", "c"])
        var done = spy(store, "searchDone")
        store.search(criteria(store, []), null, 0)
        tryCompare(done, "count", 1, 20000)
        compare(names(store.lastResults).sort(), ["a", "b", "c"])
        // Null criteria: refused, nothing happens.
        store.search(null, null, 0)
        TestControl.spin(100)
        compare(done.count, 1)
    }

    // Before any search there is nothing to page through: an empty page, then searchDone.
    function test_search_more_before_search() {
        var store = openStore()
        addObjects(store, "LocationObject", ["a"])
        var done = spy(store, "searchDone")
        store.searchMore(10)
        tryCompare(done, "count", 1, 20000)
        compare(store.lastResults.length, 0)
        verify(!store.hasMoreResults())
    }

    function test_reads_and_writes() {
        var store = openStore()
        var place = object("LocationObject", "home")
        var link = store.addObject(place)
        verify(link !== null)
        verify(link.targetLID > 0)
        compare(store.getObjectById(link.targetLID).name, "home")
        compare(store.getObject(link).name, "home")
        compare(store.getObjectById(0), null)
        compare(store.getObject(null), null)
        compare(store.addObject(null), null)
        verify(!store.updateObject(null))
        verify(!store.removeObject(null))
        // Not stored without a class name.
        var nameless = object("GenericObject", "x")
        compare(store.addObject(nameless), null)

        place.name = "work"
        verify(store.updateObject(place))
        compare(store.getObjectById(link.targetLID).name, "work")
        compare(typeName(store.getObjectById(link.targetLID)), "LocationObjectImpl")

        var other = addObjects(store, "RouteObject", ["r"])[0]
        var found = store.getObjects([link, null, place, store.getObjectById(other).createLink()])
        compare(names(found), ["work", "r"])

        verify(store.removeObject(link))
        compare(store.getObjectById(link.targetLID), null)
        verify(store.removeObjectById(other, true))
        compare(store.getObjectById(other), null)
    }

    // A link with only a global id names the object with that global id, never object 0:
    // no object has it here, so nothing is removed, no success and no event is reported.
    function test_remove_by_global_only_link() {
        var store = openStore()
        var events = spy(store, "storeEvent")
        var id = addObjects(store, "LocationObject", ["kept"])[0]
        tryCompare(events, "count", 1, 20000)
        var factory = createTemporaryQmlObject("import Keldra 1.0; Keldra {}", this)
        verify(!store.removeObject(factory.createGlobalLink(4711)))
        verify(!store.removeObject(factory.createLocalLink(0)))
        verify(!store.removeObjectById(0))
        TestControl.spin(300)
        compare(events.count, 1)
        verify(store.getObjectById(id) !== null)
    }

    // Changes of this process and of another reach the newest Store element through the
    // relay, as type and link.
    function test_store_events() {
        var older = openStore()
        var store = openStore()
        var olderEvents = spy(older, "storeEvent")
        var events = spy(store, "storeEvent")
        var place = object("LocationObject", "p")
        var lid = store.addObject(place).targetLID
        place.name = "q"
        verify(store.updateObject(place))
        verify(store.removeObjectById(lid))
        tryCompare(events, "count", 3, 20000)
        var foreign = TestControl.insertInOtherProcess("location")
        verify(foreign > 0)
        tryCompare(events, "count", 4, 20000)
        verify(TestControl.removeInOtherProcess(foreign))
        tryCompare(events, "count", 5, 20000)
        var expected = [[1, lid], [2, lid], [3, lid], [1, foreign], [3, foreign]]
        for (var i = 0; i < expected.length; ++i) {
            compare(events.signalArguments[i][0], expected[i][0])
            compare(events.signalArguments[i][1].targetLID, expected[i][1])
            compare(events.signalArguments[i][1].targetGID, 0)
        }
        compare(olderEvents.count, 0)
        // When the newest goes, it takes only itself away: nobody hears further events,
        // and the older element does not come back by itself.
        store.destroy()
        wait(0)
        verify(TestControl.insertInOtherProcess("location") > 0)
        TestControl.spin(300)
        compare(olderEvents.count, 0)
    }

    // A cancelled search returns to idle without a signal; its late report changes only
    // the status.
    function test_cancel() {
        var store = openStore()
        addObjects(store, "LocationObject", numbered(20))
        var done = spy(store, "searchDone")
        var progress = spy(store, "progressChanged")
        store.search(criteria(store, []), byName(store), 5)
        store.cancel()
        TestControl.spin(300)
        compare(done.count, 0)
        compare(progress.count, 0)
        // Idle again: a new search runs.
        store.search(criteria(store, []), byName(store), 5)
        tryCompare(done, "count", 1, 20000)
        verify(store.lastResults.length === 5 || store.getStatus() === 5)
    }

    // Destroyed while the library still works for it (initialisation, search, page
    // load): no report reaches it afterwards, and the next element works.
    function test_destroyed_while_the_library_works_data() {
        return [
            { tag: "initialising", phase: "init" },
            { tag: "searching", phase: "search" },
            { tag: "loading a page", phase: "load" },
        ]
    }

    function test_destroyed_while_the_library_works(row) {
        var seeded = openStore()
        addObjects(seeded, "LocationObject", numbered(60))
        seeded.destroy()
        wait(0)

        var store = row.phase === "init" ? makeStore() : openStore()
        var done = spy(store, row.phase === "init" ? "initDone" : "searchDone")
        var reports = spy(store, "progressChanged")
        var destroyedAt = -1
        if (row.phase === "init") {
            store.init()
            store.destroy()
        } else if (row.phase === "search") {
            store.search(criteria(store, []), byName(store), 0)
            store.destroy()
        } else {
            store.progressChanged.connect(function(progress, code) {
                // The search's end: the element has just handed the page to its cache.
                if (code === 0 && destroyedAt < 0) {
                    destroyedAt = reports.count
                    store.destroy()
                }
            })
            store.search(criteria(store, []), byName(store), 0)
            tryVerify(function() { return destroyedAt >= 0 }, 20000)
        }
        var before = reports.count
        TestControl.spin(500)
        compare(done.count, 0)
        verify(reports.count <= before + 1)

        var next = openStore()
        compare(search(next, [], 0).length, 60)
    }
}
