import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0
import KeldraTest 1.0

// The factory element: stores and sync services over its one library store and service,
// new empty elements, the redirection file, the database file and the log.
TestCase {
    name: "Keldra"

    readonly property string cities: ".cities"

    function initTestCase() {
        verify(TestControl.startBus(), TestControl.error())
    }

    function factory() {
        return createTemporaryQmlObject("import Keldra 1.0; Keldra {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function typeName(o) {
        var text = String(o).split("(")[0]
        return text.substring(text.lastIndexOf(":") + 1)
    }

    function initialised(store) {
        var done = spy(store, "initDone")
        store.init()
        tryCompare(done, "count", 1, 20000)
        compare(store.getStatus(), 1)
        return store
    }

    // Every create method gives a new element of its kind, child of the factory.
    function test_create_data() {
        return [
            { tag: "GenericObject", method: "createGenericObject", type: "GenericObjectImpl" },
            { tag: "LocationObject", method: "createLocationObject", type: "LocationObjectImpl" },
            { tag: "RouteObject", method: "createRouteObject", type: "RouteObjectImpl" },
            { tag: "CollectionObject", method: "createCollectionObject", type: "CollectionObjectImpl" },
            { tag: "Metadata", method: "createMetadata", type: "MetadataImpl" },
            { tag: "GeoRect", method: "createGeoRect", type: "GeoRectImpl" },
            { tag: "GeoCoordinates", method: "createGeoCoordinates", type: "GeoCoordinatesImpl" },
            { tag: "BoundingBox", method: "createBoundingBox", type: "BoundingBoxImpl" },
            { tag: "Address", method: "createAddress", type: "AddressImpl" },
            { tag: "Contact", method: "createContact", type: "ContactImpl" },
            { tag: "Position", method: "createPosition", type: "PositionImpl" },
            { tag: "WayPoint", method: "createWayPoint", type: "WaypointImpl" },
            { tag: "RouteProperties", method: "createRouteProperties", type: "RoutePropertiesImpl" },
            { tag: "MapsLocationProperties", method: "createMapsLocationProperties", type: "MapsLocationPropertiesImpl" },
            { tag: "ImageLink", method: "createImageLink", type: "ImageLinkImpl" },
        ]
    }

    function test_create(row) {
        var f = factory()
        var first = f[row.method]()
        var second = f[row.method]()
        compare(typeName(first), row.type)
        verify(first !== second)
        // Destroyed with the factory.
        var handle = TestControl.watch(first)
        verify(TestControl.alive(handle))
        f.destroy()
        tryVerify(function() { return !TestControl.alive(handle) })
    }

    function test_new_objects_are_empty() {
        var f = factory()
        compare(f.createLocationObject().className, "location")
        compare(f.createRouteObject().className, "route")
        compare(f.createCollectionObject().className, "collection")
        compare(f.createGenericObject().className, "")
        compare(f.createGenericObject().LID, 0)
    }

    function test_links_data() {
        return [
            { tag: "local", local: true, id: 17, lid: 17, gid: 0 },
            { tag: "local 0 names nothing", local: true, id: 0, lid: 0, gid: 0 },
            { tag: "global", local: false, id: 9000000000, lid: 0, gid: 9000000000 },
        ]
    }

    function test_links(row) {
        var f = factory()
        var link = row.local ? f.createLocalLink(row.id) : f.createGlobalLink(row.id)
        compare(link.targetLID, row.lid)
        compare(link.targetGID, row.gid)
    }

    function test_image_links() {
        var f = factory()
        var empty = f.createImageLink()
        compare(empty.getIconFile().targetLID, 0)
        var file = f.createLocalLink(5)
        var image = f.createImageLink(file)
        compare(image.getIconFile().targetLID, 5)
        compare(image.frameIndex, 0)
        compare(image.maskFrameIndex, -1)
        var framed = f.createImageLink(file, 3, 4)
        compare(framed.frameIndex, 3)
        compare(framed.maskFrameIndex, 4)
    }

    // Two Store elements over one library store; the global store is never there.
    function test_stores() {
        var f = factory()
        compare(f.openGlobalStore(), null)
        compare(f.openGlobalStore(), null)
        var a = f.openLocalStore()
        var b = f.openLocalStore()
        verify(a !== null && b !== null && a !== b)
        compare(typeName(a), "StoreImpl")
        initialised(a)
        var link = a.addObject(f.createLocationObject())
        verify(link !== null)
        // The same store: the other element reads it at once.
        verify(b.getObject(link) !== null)
        verify(a.removeObject(link))
    }

    // Elements of one factory share the store's search: a search on one while another's
    // runs is refused with 7, for every element that tries.
    function test_shared_search() {
        var f = factory()
        var a = initialised(f.openLocalStore())
        var b = f.openLocalStore()
        var c = f.openLocalStore()
        for (var i = 0; i < 30; ++i) {
            var o = f.createLocationObject()
            o.name = "p" + i
            verify(a.addObject(o) !== null)
        }
        var aDone = spy(a, "searchDone")
        var bDone = spy(b, "searchDone")
        var bProgress = spy(b, "progressChanged")
        var cDone = spy(c, "searchDone")
        var cProgress = spy(c, "progressChanged")
        a.search(a.createCriteria(), null, 0)
        b.search(b.createCriteria(), null, 0)
        c.search(c.createCriteria(), null, 0)
        compare(bDone.count, 0)
        tryCompare(bDone, "count", 1, 20000)
        compare(bProgress.signalArguments[bProgress.count - 1][1], 7)
        compare(b.getStatus(), 5)
        tryCompare(cDone, "count", 1, 20000)
        compare(cProgress.signalArguments[cProgress.count - 1][1], 7)
        tryCompare(aDone, "count", 1, 20000)
        compare(a.lastResults.length, 30)
        var all = a.lastResults
        for (var j = 0; j < all.length; ++j) verify(a.removeObjectById(all[j].LID))
    }

    // One search to its searchDone; the names of the page it loaded.
    function page(store, start) {
        var done = spy(store, "searchDone")
        start()
        tryCompare(done, "count", 1, 20000)
        compare(store.getStatus(), 1)
        return store.lastResults.map(function(o) { return o.name })
    }

    function byName(store) {
        var s = store.createSorting()
        s.setSort(s.SORT_BY_NAME, true)
        return s
    }

    function ofClass(store, className) {
        var c = store.createCriteria()
        c.setClasses([className])
        return c
    }

    // Elements of one factory page independently: each pages through what its own last
    // search found, whatever the other searched in between (two lists on one page).
    function test_elements_page_their_own_results() {
        var f = factory()
        var a = initialised(f.openLocalStore())
        var b = f.openLocalStore()
        var made = []
        var add = function(kind, name) {
            var o = kind === "route" ? f.createRouteObject() : f.createLocationObject()
            o.name = name
            var link = a.addObject(o)
            verify(link !== null)
            made.push(link.targetLID)
        }
        for (var i = 0; i < 4; ++i) add("location", "place " + i)
        for (var j = 0; j < 3; ++j) add("route", "route " + j)

        compare(page(a, function() { a.search(ofClass(a, "location"), byName(a), 2) }),
                ["place 0", "place 1"])
        compare(page(b, function() { b.search(ofClass(b, "route"), byName(b), 2) }),
                ["route 0", "route 1"])
        verify(a.hasMoreResults())
        compare(page(a, function() { a.searchMore(2) }), ["place 2", "place 3"])
        verify(!a.hasMoreResults())
        // a's new search leaves b's pages alone, and the other way round.
        compare(page(a, function() { a.search(ofClass(a, "route"), byName(a), 1) }), ["route 0"])
        verify(b.hasMoreResults())
        compare(page(b, function() { b.searchMore(2) }), ["route 2"])
        verify(!b.hasMoreResults())
        compare(page(a, function() { a.searchMore(1) }), ["route 1"])
        verify(a.hasMoreResults())
        compare(b.allResults.map(function(o) { return o.name }), ["route 0", "route 1", "route 2"])
        compare(a.allResults.map(function(o) { return o.name }), ["route 0", "route 1"])
        for (var k = 0; k < made.length; ++k) verify(a.removeObjectById(made[k]))
    }

    // A handler of a's first report with status 0 (its ids are found, its page not yet
    // loaded) starts b's search on the shared search object: a still pages through its
    // own ids, b gets its own.
    function test_search_started_from_a_report() {
        var f = factory()
        var a = initialised(f.openLocalStore())
        var b = f.openLocalStore()
        var made = []
        for (var i = 0; i < 6; ++i) {
            var o = i < 4 ? f.createLocationObject() : f.createRouteObject()
            o.name = (i < 4 ? "place " : "route ") + (i % 4)
            var link = a.addObject(o)
            verify(link !== null)
            made.push(link.targetLID)
        }
        var bDone = spy(b, "searchDone")
        var started = false
        var startB = function(progress, status) {
            if (started || status !== 0) return
            started = true
            b.search(ofClass(b, "route"), byName(b), 0)
        }
        a.progressChanged.connect(startB)
        try {
            compare(page(a, function() { a.search(ofClass(a, "location"), byName(a), 2) }),
                    ["place 0", "place 1"])
            verify(started)
            verify(a.hasMoreResults())
            tryCompare(bDone, "count", 1, 20000)
            compare(b.getStatus(), 1)
            compare(b.lastResults.map(function(o) { return o.name }), ["route 0", "route 1"])
            compare(page(a, function() { a.searchMore(2) }), ["place 2", "place 3"])
            verify(!a.hasMoreResults())
        } finally {
            // The objects go even when a check failed: later tests count the store's objects.
            a.progressChanged.disconnect(startB)
            for (var k = 0; k < made.length; ++k) a.removeObjectById(made[k])
        }
    }

    function sync(s) {
        s.setOption(s.OPTION_USER, "anna")
        s.setOption(s.OPTION_PASSWORD, "secret")
        return s
    }

    // SyncService elements of one factory share one service: one sync at a time, reports
    // to the element that started it; an element destroyed during the sync hears
    // nothing more, while the service goes on for the others.
    function test_shared_sync_service() {
        var f = factory()
        var a = sync(f.openSyncService())
        var b = sync(f.openSyncService())
        verify(a !== null && b !== null && a !== b)
        compare(typeName(a), "SyncServiceImpl")
        // Shared settings.
        var o = createTemporaryQmlObject("import Keldra 1.0; FileSyncOptions { imageScalingLongestSide: 320 }", this)
        a.setFileDownloadOptions(o)
        compare(b.fileDownloadOptions.imageScalingLongestSide, 320)

        var aProgress = spy(a, "progressChanged")
        var bProgress = spy(b, "progressChanged")
        var bDone = spy(b, "syncDone")
        a.start()
        compare(a.getStatus(), 0)
        var reports = aProgress.count
        b.start()
        compare(bProgress.count, 0)
        compare(aProgress.count, reports)
        a.destroy()
        wait(0)
        // The service's later reports: the cancellation goes to no element.
        b.cancel()
        TestControl.spin(500)
        compare(bDone.count, 0)
        // The service is free again; the next sync reports to b.
        b.start()
        compare(b.getStatus(), 0)
        b.cancel()
        tryCompare(bDone, "count", 1, 20000)
        compare(b.getStatus(), 4)
    }

    function test_target_server_data() {
        return [
            { tag: "address", server: "https://maps.example.test:8443/sync", content: "https://maps.example.test:8443/sync\n" },
            { tag: "empty", server: "", content: "\n" },
        ]
    }

    function test_target_server(row) {
        var f = factory()
        TestControl.removePath(cities)
        verify(f.setTargetServer("old and longer than the next one"))
        verify(f.setTargetServer(row.server))
        compare(TestControl.readFile(cities + "/OstraMaps.server"), row.content)
        verify(f.deleteRedirectionFile())
        verify(!TestControl.fileExists(cities + "/OstraMaps.server"))
        verify(!f.deleteRedirectionFile())
    }

    // The database file goes with its journal and WAL files, and only while no element
    // keeps the database open.
    function test_reset_local_database() {
        var f = factory()
        var store = initialised(f.openLocalStore())
        verify(store.addObject(f.createLocationObject()) !== null)
        verify(TestControl.fileExists(cities + "/OstraMaps.db"))
        verify(!f.resetLocalDatabase())
        verify(TestControl.fileExists(cities + "/OstraMaps.db"))
        // Still usable: nothing was removed under it.
        verify(store.addObject(f.createLocationObject()) !== null)
        store.destroy()
        wait(0)
        verify(TestControl.writeFile(cities + "/OstraMaps.db-journal", "left over"))
        verify(TestControl.writeFile(cities + "/OstraMaps.db-wal", "left over"))
        verify(f.resetLocalDatabase())
        compare(TestControl.listFolder(cities).filter(function(n) { return n.indexOf("OstraMaps.db") === 0 }), [])
        verify(!f.resetLocalDatabase())
        // A fresh, empty database afterwards.
        var fresh = initialised(f.openLocalStore())
        var done = spy(fresh, "searchDone")
        fresh.search(fresh.createCriteria(), null, 0)
        tryCompare(done, "count", 1, 20000)
        compare(fresh.lastResults.length, 0)
    }

    function test_reset_log_data() {
        return [
            { tag: "saved", save: true },
            { tag: "discarded", save: false },
        ]
    }

    function test_reset_log(row) {
        var f = factory()
        f.resetLog(row.save)
        // Runs with logging off here; the files are checked in C++.
        verify(true)
    }
}
