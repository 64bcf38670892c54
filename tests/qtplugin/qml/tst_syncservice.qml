import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0
import KeldraTest 1.0

// SyncService against the library's real sync service with the relay and the fake sync
// daemon on the private bus: SyncML syncs the daemon answers, refusals, options.
TestCase {
    name: "SyncService"

    // The daemon's sync status values.
    readonly property int daemonStarted: 1
    readonly property int daemonError: 3
    readonly property int daemonDone: 4

    function initTestCase() {
        verify(TestControl.startBus(), TestControl.error())
    }

    function init() {
        TestControl.clearDaemonCalls()
    }

    function service() {
        return createTemporaryQmlObject("import Keldra 1.0; SyncService {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function withAccount(s) {
        s.setOption(s.OPTION_USER, "anna")
        s.setOption(s.OPTION_PASSWORD, "secret")
        s.setOption(s.OPTION_ACCOUNT, "42")
        return s
    }

    function startCalls() {
        var n = 0
        var calls = TestControl.daemonCalls()
        for (var i = 0; i < calls.length; ++i)
            if (calls[i].indexOf("startSync(") === 0) ++n
        return n
    }

    // Waits for the daemon's startSync and ends the sync with |status|.
    function answerDaemon(status, details) {
        tryVerify(function() { return startCalls() > 0 }, 20000, "the daemon was asked to sync")
        TestControl.emitSyncStatus(daemonStarted, 0)
        TestControl.emitSyncStatus(status, details)
    }

    function test_constants() {
        var s = service()
        compare([s.OPTION_TOKEN, s.OPTION_IAP, s.OPTION_USER, s.OPTION_PASSWORD, s.OPTION_ACCOUNT],
                [1, 2, 3, 4, 5])
        compare([s.TASK_OBJECTS_UPLOAD, s.TASK_OBJECTS_DOWNLOAD, s.TASK_SYNC, s.TASK_FILES_UPLOAD,
                 s.TASK_FILES_DOWNLOAD, s.TASK_OBJECTS_SUBSCRIBE], [1, 2, 4, 8, 16, 64])
        compare([s.BACKEND_DEFAULT, s.BACKEND_CHINA], [0, 1])
        compare(s.getStatus(), 1)
        compare(s.getProgress(), 0)
    }

    // Refusals of the library reach QML as signals before start returns.
    function test_refusals_data() {
        return [
            { tag: "user without password", user: "anna", password: "", tasks: -1, status: 5 },
            { tag: "password without user", user: "", password: "secret", tasks: -1, status: 5 },
            { tag: "files upload, user only", user: "anna", password: "", tasks: 8, status: 5 },
            { tag: "upload by ids, user only", user: "anna", password: "", tasks: 1, status: 5 },
            { tag: "download by ids, user only", user: "anna", password: "", tasks: 2, status: 5 },
        ]
    }

    function test_refusals(row) {
        var s = service()
        if (row.user !== "") s.setOption(s.OPTION_USER, row.user)
        if (row.password !== "") s.setOption(s.OPTION_PASSWORD, row.password)
        var progress = spy(s, "progressChanged")
        var done = spy(s, "syncDone")
        if (row.tasks < 0) s.start()
        else s.start(row.tasks)
        compare(progress.count, 1)
        compare(progress.signalArguments[0][0], 0)
        compare(progress.signalArguments[0][1], row.status)
        compare(done.count, 1)
        compare(s.getStatus(), row.status)
        compare(s.getProgress(), 0)
        compare(startCalls(), 0)
    }

    // A SyncML sync from start to the daemon's answer: in-progress reports, then the end.
    function test_syncml_sync_data() {
        return [
            { tag: "done", daemon: 4, details: 0, status: 1, progress: 100 },
            { tag: "error", daemon: 3, details: 0, status: 5, progress: -1 },
        ]
    }

    function test_syncml_sync(row) {
        var s = withAccount(service())
        var progress = spy(s, "progressChanged")
        var done = spy(s, "syncDone")
        s.start()
        // The first report arrives before start returns.
        verify(progress.count >= 1)
        compare(progress.signalArguments[0][1], 0)
        compare(s.getStatus(), 0)
        compare(done.count, 0)
        answerDaemon(row.daemon, row.details)
        tryCompare(done, "count", 1, 20000)
        compare(s.getStatus(), row.status)
        var last = progress.signalArguments[progress.count - 1]
        compare(last[1], row.status)
        for (var i = 0; i < progress.count - 1; ++i)
            compare(progress.signalArguments[i][1], 0)
        if (row.progress >= 0) compare(s.getProgress(), row.progress)
        TestControl.spin(100)
        compare(done.count, 1)
    }

    // A second start while a sync runs is dropped without a signal; cancel ends the sync
    // with STATUS_CANCELED.
    function test_second_start_ignored_and_cancel() {
        var s = withAccount(service())
        var progress = spy(s, "progressChanged")
        var done = spy(s, "syncDone")
        s.start()
        var reports = progress.count
        s.start()
        s.start(s.TASK_FILES_DOWNLOAD)
        compare(progress.count, reports)
        compare(done.count, 0)
        s.cancel()
        tryCompare(done, "count", 1, 20000)
        compare(s.getStatus(), 4)
        compare(progress.signalArguments[progress.count - 1][1], 4)
    }

    // Two services of QML, each with a service of its own: the process runs one sync, so
    // the second is refused by the library, and reported.
    function test_second_service_refused_while_one_runs() {
        var first = withAccount(service())
        var second = withAccount(service())
        var firstDone = spy(first, "syncDone")
        var secondProgress = spy(second, "progressChanged")
        var secondDone = spy(second, "syncDone")
        first.start()
        second.start()
        compare(secondProgress.count, 1)
        compare(secondProgress.signalArguments[0][1], 5)
        compare(secondDone.count, 1)
        first.cancel()
        tryCompare(firstDone, "count", 1, 20000)
    }

    // Destroyed in the middle of a sync: the service's later reports reach nobody.
    function test_destroyed_during_sync() {
        var s = withAccount(service())
        var done = spy(s, "syncDone")
        s.start()
        compare(s.getStatus(), 0)
        s.destroy()
        wait(0)
        TestControl.spin(200)
        compare(done.count, 0)
        // The next sync of the process may start: the destroyed service's one ended.
        var next = withAccount(service())
        var nextDone = spy(next, "syncDone")
        next.start()
        compare(next.getStatus(), 0)
        next.cancel()
        tryCompare(nextDone, "count", 1, 20000)
        compare(next.getStatus(), 4)
    }

    function test_backend() {
        var s = service()
        s.setBackend(s.BACKEND_CHINA)
        s.setBackend(2)
        s.setBackend(s.BACKEND_DEFAULT)
        // Applied by the next sync only: nothing to see but that nothing failed.
        compare(s.getStatus(), 1)
    }

    // Option records are copied in and out; every read is a new, detached element.
    function test_file_options() {
        var s = service()
        var fresh = s.fileUploadOptions
        compare(fresh.allowedFileTypes, "any")
        var o = createTemporaryQmlObject("import Keldra 1.0; FileSyncOptions {}", this)
        o.imageScalingLongestSide = 640
        o.allowedFileTypes = "image"
        o.fileSizeLimit = 5000
        s.setFileDownloadOptions(o)
        o.imageScalingLongestSide = 10
        var down = s.getFileDownloadOptions()
        compare(down.imageScalingLongestSide, 640)
        compare(down.allowedFileTypes, "image")
        compare(down.fileSizeLimit, 5000)
        down.imageScalingLongestSide = 1
        compare(s.fileDownloadOptions.imageScalingLongestSide, 640)
        verify(s.fileDownloadOptions !== s.fileDownloadOptions)
        // The upload copy is apart.
        compare(s.fileUploadOptions.imageScalingLongestSide, 0)
        s.fileUploadOptions = o
        compare(s.fileUploadOptions.imageScalingLongestSide, 10)
        s.setFileUploadOptions(null)
        compare(s.fileUploadOptions.imageScalingLongestSide, 10)
        gc()
    }

    // A sync announces its start and end to the store's newest element: types 5 and 6,
    // each with a null link.
    function test_store_hears_the_sync() {
        var store = createTemporaryQmlObject("import Keldra 1.0; Store {}", this)
        var initDone = spy(store, "initDone")
        store.init()
        tryCompare(initDone, "count", 1, 20000)
        var events = spy(store, "storeEvent")
        var s = withAccount(service())
        var done = spy(s, "syncDone")
        s.start()
        answerDaemon(daemonDone, 0)
        tryCompare(done, "count", 1, 20000)
        // The relay's broadcasts of an earlier test's sync may still come first: this
        // sync's two are the last ones heard.
        tryVerify(function() {
            return events.count >= 2 &&
                   events.signalArguments[events.count - 2][0] === store.SYNC_STARTED &&
                   events.signalArguments[events.count - 1][0] === store.SYNC_STOPPED
        }, 20000, "SYNC_STARTED, then SYNC_STOPPED")
        compare(events.signalArguments[events.count - 2][1], null)
        var last = events.signalArguments[events.count - 1]
        compare(last[0], store.SYNC_STOPPED)
        compare(last[1], null)
    }

    // Direct-transfer tasks run through the library's transfer handler from QML (with
    // nothing in the store, the run has nothing to send): reports in progress, then OK.
    function test_direct_transfer_tasks_data() {
        return [
            { tag: "objects upload", tasks: 1 },
            { tag: "files download", tasks: 16 },
        ]
    }

    function test_direct_transfer_tasks(row) {
        var s = withAccount(service())
        var progress = spy(s, "progressChanged")
        var done = spy(s, "syncDone")
        s.start(row.tasks)
        tryCompare(done, "count", 1, 30000)
        compare(s.getStatus(), 1)
        compare(s.getProgress(), 100)
        verify(progress.count >= 2)
        compare(progress.signalArguments[0][1], 0)
        compare(progress.signalArguments[progress.count - 1][1], 1)
        // No SyncML part: the daemon was not asked.
        compare(startCalls(), 0)
    }
}
