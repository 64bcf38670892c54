import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// RouteProperties and Waypoint as QML sees them.
TestCase {
    name: "Route"

    function make(type) {
        return createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    readonly property var options: [1, 2, 4, 8, 16, 32, 64, 128, 256, 512]

    function test_new_route_properties() {
        var r = make("RouteProperties")
        compare(r.getMode(), 0)
        compare(r.getType(), 0)
        for (var i = 0; i < options.length; ++i) compare(r.hasOption(options[i]), false)
        compare(r.getArrivalTime(), "")
        compare(r.getDepartureTime(), "")
    }

    function test_constants_data() {
        return [
            { tag: "MODE_PEDESTRIAN", name: "MODE_PEDESTRIAN", value: 1 },
            { tag: "MODE_BICYCLE", name: "MODE_BICYCLE", value: 3 },
            { tag: "MODE_TRACK", name: "MODE_TRACK", value: 4 },
            { tag: "MODE_PUBLIC_TRANSPORT", name: "MODE_PUBLIC_TRANSPORT", value: 5 },
            { tag: "TYPE_SHORTEST", name: "TYPE_SHORTEST", value: 1 },
            { tag: "TYPE_FASTEST", name: "TYPE_FASTEST", value: 2 },
            { tag: "TYPE_ECONOMIC", name: "TYPE_ECONOMIC", value: 3 },
            { tag: "TYPE_NO_TRANSFERS", name: "TYPE_NO_TRANSFERS", value: 6 },
            { tag: "NO_MOTORWAYS", name: "NO_MOTORWAYS", value: 1 },
            { tag: "NO_FERRIES", name: "NO_FERRIES", value: 4 },
            { tag: "NO_LOCAL_TRAINS", name: "NO_LOCAL_TRAINS", value: 512 },
        ]
    }

    function test_constants(row) {
        compare(make("RouteProperties")[row.name], row.value)
    }

    function test_mode_and_type_data() {
        return [
            { tag: "mode bike", set: "setMode", get: "getMode", first: 2, value: 3, read: 3 },
            { tag: "mode 6 refused", set: "setMode", get: "getMode", first: 2, value: 6, read: 2 },
            { tag: "mode 0 refused", set: "setMode", get: "getMode", first: 5, value: 0, read: 5 },
            { tag: "type no transfers", set: "setType", get: "getType", first: 1, value: 6, read: 6 },
            { tag: "type 7 refused", set: "setType", get: "getType", first: 1, value: 7, read: 1 },
        ]
    }

    function test_mode_and_type(row) {
        var r = make("RouteProperties")
        r[row.set](row.first)
        r[row.set](row.value)
        compare(r[row.get](), row.read)
    }

    function test_options() {
        var r = make("RouteProperties")
        r.setOption(r.NO_FERRIES, true)
        r.setOption(r.NO_FERRIES, true)
        r.setOption(r.NO_TRAMS, true)
        compare(r.hasOption(4), true)
        compare(r.hasOption(128), true)
        compare(r.hasOption(1), false)
        r.setOption(r.NO_FERRIES, false)
        compare(r.hasOption(4), false)
        compare(r.hasOption(128), true)
    }

    readonly property string dep: "2026-06-01T08:30:00Z"
    readonly property string arr: "2026-06-01T10:05:00Z"

    // Each row starts from a stored departure and arrival.
    function test_times_data() {
        return [
            { tag: "departure, one argument clears arrival", call: function(r) { r.setDepartureTime("2026-07-01T09:00:00Z") }, dep: "2026-07-01T09:00:00Z", arr: "" },
            { tag: "departure keeping arrival", call: function(r) { r.setDepartureTime("2026-07-01T09:00:00Z", false) }, dep: "2026-07-01T09:00:00Z", arr: "2026-06-01T10:05:00Z" },
            { tag: "departure not a time removes it", call: function(r) { r.setDepartureTime("soon", false) }, dep: "", arr: "2026-06-01T10:05:00Z" },
            { tag: "arrival, one argument clears departure", call: function(r) { r.setArrivalTime("2026-07-01T11:00:00Z") }, dep: "", arr: "2026-07-01T11:00:00Z" },
            { tag: "arrival keeping departure", call: function(r) { r.setArrivalTime("2026-07-01T11:00:00Z", false) }, dep: "2026-06-01T08:30:00Z", arr: "2026-07-01T11:00:00Z" },
            { tag: "timing with empty arrival keeps it", call: function(r) { r.setTiming("2026-07-01T09:00:00Z", "") }, dep: "2026-07-01T09:00:00Z", arr: "2026-06-01T10:05:00Z" },
            { tag: "timing with both", call: function(r) { r.setTiming("", "2026-07-01T11:00:00Z") }, dep: "", arr: "2026-07-01T11:00:00Z" },
        ]
    }

    function test_times(row) {
        var r = make("RouteProperties")
        r.setTiming(dep, arr)
        compare(r.getDepartureTime(), dep)
        compare(r.getArrivalTime(), arr)
        row.call(r)
        compare(r.getDepartureTime(), row.dep)
        compare(r.getArrivalTime(), row.arr)
    }

    function test_new_waypoint() {
        var w = make("Waypoint")
        compare(w.getPosition(), null)
        compare(w.getLocation(), null)
        compare(w.getAttachment(), null)
        compare(w.location, null)
        compare(w.getComment(), "")
    }

    function test_comment_ignores_language() {
        var w = make("Waypoint")
        var changed = spy(w, "commentChanged")
        w.setComment("Kahvitauko ☕", "fi")
        compare(w.getComment("en"), "Kahvitauko ☕")
        compare(w.getComment(), "Kahvitauko ☕")
        w.setComment("Lunch")
        compare(w.getComment("fi"), "Lunch")
        compare(changed.count, 2)
    }

    function test_position_is_copied_in_and_viewed_live() {
        var w = make("Waypoint")
        var changed = spy(w, "positionChanged")
        var p = make("Position")
        p.setCoordinates(61.5, 23.75)
        w.setPosition(null)
        compare(changed.count, 0)
        w.position = p
        compare(changed.count, 1)
        p.setCoordinates(1, 1)       // the element copied from stays apart
        var view = w.getPosition()
        compare(view.latitude, 61.5)
        view.setCoordinates(62, 24)  // the handed-out element is a live view
        compare(w.position.latitude, 62)
        verify(w.getPosition() !== w.getPosition())
    }

    function test_null_links_ignored_data() {
        return [ { tag: "location", set: "setLocation", signal: "locationChanged" },
                 { tag: "attachment", set: "setAttachment", signal: "attachmentChanged" } ]
    }

    function test_null_links_ignored(row) {
        var w = make("Waypoint")
        var s = spy(w, row.signal)
        w[row.set](null)
        compare(s.count, 0)
    }

    // An empty link removes the stored one; the signal follows every accepted call.
    function test_empty_link_removes() {
        var w = make("Waypoint")
        var s = spy(w, "locationChanged")
        w.location = make("ObjectLink")
        compare(w.location, null)
        compare(s.count, 1)
    }
}
