import QtQml 2.15
import Keldra 1.0

// The maps application's part in the scenario: opens the store, writes places, a route
// and a collection, searches, removes, and keeps every change event its store element
// hears. Each step answers with one line through output.write(): "ok ..." or
// "error <why>".
QtObject {
    id: client

    property var store: null
    property var events: []
    property var pending: null    // the step waiting for an asynchronous end
    property int eventsWanted: -1 // an "events" step waiting for this many events
    property var objects: []      // elements kept alive while the client runs

    function answer(text) { output.write(text) }

    // The events heard so far; ends an "events" step that waits.
    function answerEvents() {
        eventsWanted = -1
        eventsDeadline.stop()
        answer("ok " + events.join(" "))
    }

    function keep(o) { var k = objects; k.push(o); objects = k; return o }

    function make(type) {
        return keep(Qt.createQmlObject("import Keldra 1.0; " + type + " {}", client))
    }

    property Keldra factory: Keldra {}

    function link(id) { return keep(factory.createLocalLink(id)) }

    // The object's header name (an identifier, Latin-1) and its title, the name of its
    // metadata (free text, UTF-8), which the store's text search and name sorting read.
    function named(o, args) {
        o.name = args.name
        var m = make("Metadata")
        m.setName(args.title)
        o.metadata = m
        return o
    }

    function title(o) {
        var t = o.metadata === null ? "" : o.metadata.getName()
        return t === "" ? o.name : t
    }

    function stored(o) {
        var l = store.addObject(o)
        return l === null ? "error " + o.name + " not stored" : "ok " + l.targetLID
    }

    property Component storeType: Component { Store {} }
    property Component serviceType: Component { SyncService {} }

    // A step that throws answers with the error, so the driving process never waits in vain.
    function run(step, args) {
        try {
            runStep(step, args)
        } catch (e) {
            answer("error " + step + ": " + e)
        }
    }

    function runStep(step, args) {
        if (step === "open") {
            store = storeType.createObject(client)
            store.storeEvent.connect(function(type, l) {
                var e = events
                e.push(type + ":" + (l === null ? 0 : l.targetLID))
                events = e
                if (eventsWanted >= 0 && events.length >= eventsWanted) answerEvents()
            })
            store.initDone.connect(function() {
                answer(store.getStatus() === 1 ? "ok" : "error status " + store.getStatus())
            })
            store.init()
        } else if (step === "place") {
            answer(stored(named(make("LocationObject"), args)))
        } else if (step === "route") {
            var r = named(make("RouteObject"), args)
            var points = []
            for (var i = 0; i < args.through.length; ++i) {
                var w = make("Waypoint")
                w.location = link(args.through[i])
                points.push(w)
            }
            r.wayPoints = points
            answer(stored(r))
        } else if (step === "collection") {
            var c = named(make("CollectionObject"), args)
            var items = []
            for (var j = 0; j < args.items.length; ++j) items.push(link(args.items[j]))
            c.items = items
            answer(stored(c))
        } else if (step === "search") {
            var criteria = store.createCriteria()
            if (args.classes.length > 0) criteria.setClasses(args.classes)
            if (args.text) criteria.setTextPattern(args.text, criteria.TEXT_CONTAINS)
            var sorting = store.createSorting()
            sorting.setSort(sorting.SORT_BY_NAME, true)
            pending = function() {
                var found = store.getAllSearchResults()
                var names = []
                for (var k = 0; k < found.length; ++k)
                    names.push(found[k].className + ":" + title(found[k]))
                answer("ok " + names.join("|"))
            }
            store.search(criteria, sorting, 0)
        } else if (step === "members") {
            var o = store.getObjectById(args.id)
            if (o === null) { answer("error no object " + args.id); return }
            var list = o.className === "route" ? o.wayPoints : o.items
            var ids = []
            for (var m = 0; m < list.length; ++m)
                ids.push(o.className === "route" ? list[m].location.targetLID : list[m].targetLID)
            answer("ok " + ids.join(" "))
        } else if (step === "remove") {
            answer(store.removeObjectById(args.id) ? "ok" : "error not removed")
        } else if (step === "sync") {
            // A direct-transfer sync of args.tasks (args.gids: the server's objects to
            // download), with an account; answers at syncDone.
            var service = keep(serviceType.createObject(client))
            service.setOption(service.OPTION_USER, args.user)
            service.setOption(service.OPTION_PASSWORD, args.password)
            service.setOption(service.OPTION_ACCOUNT, args.account)
            var links = []
            for (var g = 0; g < args.gids.length; ++g)
                links.push(keep(factory.createGlobalLink(args.gids[g])))
            var reports = []
            service.progressChanged.connect(function(progress, status) { reports.push(status) })
            service.syncDone.connect(function() {
                answer("ok " + service.getStatus() + " " + reports.length)
            })
            service.start(args.tasks, links, 0)
        } else if (step === "events") {
            // Events come through the relay, after the step that caused them: with
            // args.count, answers once that many were heard, or after args.within ms
            // (10 s by default) with those heard by then.
            var wanted = args && args.count ? args.count : 0
            if (events.length >= wanted) {
                answerEvents()
            } else {
                eventsWanted = wanted
                eventsDeadline.interval = args.within ? args.within : 10000
                eventsDeadline.restart()
            }
        } else {
            answer("error unknown step " + step)
        }
    }

    property Timer eventsDeadline: Timer {
        onTriggered: client.answerEvents()
    }

    property Connections searches: Connections {
        target: client.store
        function onSearchDone() {
            var done = client.pending
            client.pending = null
            if (done) done()
        }
    }
}
