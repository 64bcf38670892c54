import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// Position and MapsLocationProperties as QML sees them.
TestCase {
    name: "Position"

    function make(type) {
        return createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this)
    }

    function spies(target, names) {
        var out = {}
        for (var i = 0; i < names.length; ++i) {
            out[names[i]] = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
            out[names[i]].target = target
            out[names[i]].signalName = names[i]
        }
        return out
    }

    readonly property var allSignals: ["coordinatesChanged", "longitudeChanged", "latitudeChanged",
        "altitudeChanged", "altitudeAboveSeaChanged", "horizontalAccuracyChanged",
        "verticalAccuracyChanged", "timeChanged", "speedChanged", "courseChanged"]

    function counts(s) {
        var out = {}
        for (var name in s) out[name] = s[name].count
        return out
    }

    function expectOnly(s, emitted) {
        for (var name in s) compare(s[name].count, emitted[name] || 0, name)
    }

    function test_new_position_is_unknown() {
        var p = make("Position")
        verify(isNaN(p.latitude))
        verify(isNaN(p.longitude))
        verify(isNaN(p.altitude))
        compare(p.time, 0)
        verify(isNaN(p.speed))
        verify(isNaN(p.course))
        verify(isNaN(p.haccuracy))
        verify(isNaN(p.vaccuracy))
        verify(isNaN(p.abovesea))
        compare(p.getCoordinateDatum(), 0)
        var c = p.coordinates
        verify(c !== null)
        verify(isNaN(c.latitude))
    }

    // Fix values are dropped, silently, until the section has valid coordinates.
    function test_fix_needs_coordinates_data() {
        return [
            { tag: "speed", call: function(p) { p.setSpeed(5) }, read: "speed", value: 5, signals: ["speedChanged"] },
            { tag: "course", call: function(p) { p.setCourse(90) }, read: "course", value: 90, signals: ["courseChanged"] },
            { tag: "time", call: function(p) { p.time = 1000 }, read: "time", value: 1000, signals: ["timeChanged"] },
            { tag: "accuracy", call: function(p) { p.setAccuracy(10, 20) }, read: "vaccuracy", value: 20, signals: ["horizontalAccuracyChanged", "verticalAccuracyChanged"] },
        ]
    }

    function test_fix_needs_coordinates(row) {
        var p = make("Position")
        var s = spies(p, allSignals)
        row.call(p)
        expectOnly(s, {})
        if (row.read === "time") compare(p.time, 0); else verify(isNaN(p[row.read]))

        p.setCoordinates(60.17, 24.94)
        row.call(p)
        compare(p[row.read], row.value)
        var emitted = { coordinatesChanged: 1 }
        for (var i = 0; i < row.signals.length; ++i) emitted[row.signals[i]] = 1
        expectOnly(s, emitted)
    }

    function test_set_coordinates_forms_data() {
        return [
            { tag: "two values: altitude 0", args: [60.17, 24.94], alt: 0, datum: 0 },
            { tag: "china", args: [60.17, 24.94, 1], alt: 0, datum: 1 },
            { tag: "datum 2 keeps the datum", args: [60.17, 24.94, 2], alt: 0, datum: 1, before: 1 },
            { tag: "datum 0 after china", args: [60.17, 24.94, 0, 12.5], alt: 12.5, datum: 0, before: 1 },
            { tag: "unknown altitude", args: [60.17, 24.94, 0, 1073741824], alt: 1073741824, datum: 0 },
        ]
    }

    function test_set_coordinates_forms(row) {
        var p = make("Position")
        if (row.before !== undefined) p.setCoordinates(1, 1, row.before)
        var s = spies(p, allSignals)
        p.setCoordinates.apply(p, row.args)
        compare(p.latitude, 60.17)
        compare(p.longitude, 24.94)
        compare(p.altitude, row.alt)
        compare(p.getCoordinateDatum(), row.datum)
        expectOnly(s, { coordinatesChanged: 1 })
    }

    // Invalid coordinates are not stored, yet the datum is applied and the signal follows.
    function test_invalid_coordinates_still_apply_the_datum() {
        var p = make("Position")
        p.setCoordinates(10, 20)
        var s = spies(p, allSignals)
        p.setCoordinates(95, 20, 1)
        compare(p.latitude, 10)
        compare(p.getCoordinateDatum(), 1)
        expectOnly(s, { coordinatesChanged: 1 })
    }

    function test_coordinates_element() {
        var p = make("Position")
        var g = make("GeoCoordinates")
        g.latitude = 48.85
        g.longitude = 2.35
        g.altitude = 35
        var s = spies(p, ["coordinatesChanged"])
        p.setCoordinates(null, 1)
        p.setCoordinates(make("ObjectLink"), 1)
        verify(isNaN(p.latitude))
        compare(p.getCoordinateDatum(), 0)
        compare(s.coordinatesChanged.count, 0)
        p.setCoordinates(g, 1)
        compare(p.getCoordinateDatum(), 1)
        p.coordinates = g   // the property write is the datum-0 form
        compare(p.getCoordinateDatum(), 0)
        var read = p.coordinates
        compare([read.latitude, read.longitude, read.altitude], [48.85, 2.35, 35])
        // A copy: changing it leaves the position alone.
        read.latitude = 10
        compare(p.latitude, 48.85)
        verify(p.coordinates !== p.getCoordinates())
        // An element without a valid point stores nothing.
        p.coordinates = make("GeoCoordinates")
        compare(p.latitude, 48.85)
    }

    function test_course_range_data() {
        return [
            { tag: "0", course: 0, stored: true },
            { tag: "360", course: 360, stored: true },
            { tag: "359.5", course: 359.5, stored: true },
            { tag: "360.5", course: 360.5, stored: false },
            { tag: "-1", course: -1, stored: false },
            { tag: "NaN", course: NaN, stored: false },
        ]
    }

    function test_course_range(row) {
        var p = make("Position")
        p.setCoordinates(60.17, 24.94)
        p.setCourse(45)
        var s = spies(p, ["courseChanged"])
        p.course = row.course
        compare(p.course, row.stored ? row.course : 45)
        compare(s.courseChanged.count, row.stored ? 1 : 0)
    }

    function test_speed_values_data() {
        return [
            { tag: "finite", speed: 12.5, read: 12.5 },
            { tag: "infinite removes", speed: Infinity, read: NaN },
            { tag: "NaN removes", speed: NaN, read: NaN },
            { tag: "zero", speed: 0, read: 0 },
        ]
    }

    function test_speed_values(row) {
        var p = make("Position")
        p.setCoordinates(60.17, 24.94)
        p.setSpeed(3)
        var s = spies(p, ["speedChanged"])
        p.speed = row.speed
        if (isNaN(row.read)) verify(isNaN(p.speed)); else compare(p.speed, row.read)
        compare(s.speedChanged.count, 1)
    }

    // The vertical accuracy is only kept with a known altitude.
    function test_accuracy_needs_altitude_data() {
        return [
            { tag: "unknown altitude", alt: 1073741824, h: 10, v: NaN },
            { tag: "altitude 0", alt: 0, h: 10, v: 20 },
        ]
    }

    function test_accuracy_needs_altitude(row) {
        var p = make("Position")
        p.setCoordinates(60.17, 24.94, 0, row.alt)
        p.setAccuracy(10, 20)
        compare(p.haccuracy, row.h)
        if (isNaN(row.v)) verify(isNaN(p.vaccuracy)); else compare(p.vaccuracy, row.v)
    }

    function test_accuracy_single_precision_and_unknown() {
        var p = make("Position")
        p.setCoordinates(60.17, 24.94)
        p.setAccuracy(1.1, Infinity)
        compare(p.haccuracy, 1.100000023841858)
        verify(isNaN(p.vaccuracy))
    }

    function test_zero_time_keeps_the_time() {
        var p = make("Position")
        p.setCoordinates(60.17, 24.94)
        p.setTime(1000)
        var s = spies(p, ["timeChanged"])
        p.setTime(0)
        compare(p.time, 1000)
        compare(s.timeChanged.count, 1)
        p.time = 1700000000123
        compare(p.time, 1700000000123)
    }

    function test_altitude_above_sea_is_not_kept() {
        var p = make("Position")
        p.setCoordinates(60.17, 24.94)
        var s = spies(p, allSignals)
        p.abovesea = 15
        p.setAltitudeAboveSea(20)
        verify(isNaN(p.abovesea))
        expectOnly(s, {})
    }

    function test_content_version_data() {
        return [
            { tag: "four numbers", text: "1.2.3.4", read: "1.2.3.4", stored: true },
            { tag: "limits", text: "0.255.0.255", read: "0.255.0.255", stored: true },
            { tag: "trailing text ignored", text: "9.8.7.6-beta", read: "9.8.7.6", stored: true },
            { tag: "three numbers", text: "1.2.3", read: "5.5.5.5", stored: false },
            { tag: "above 255", text: "256.1.1.1", read: "5.5.5.5", stored: false },
            { tag: "negative", text: "-1.1.1.1", read: "5.5.5.5", stored: false },
            { tag: "words", text: "a.b.c.d", read: "5.5.5.5", stored: false },
            { tag: "empty", text: "", read: "5.5.5.5", stored: false },
        ]
    }

    function test_content_version(row) {
        var m = make("MapsLocationProperties")
        m.contentVersion = "5.5.5.5"
        var s = spies(m, ["contentVersionChanged"])
        m.setMapContentVersion(row.text)
        compare(m.contentVersion, row.read)
        compare(s.contentVersionChanged.count, row.stored ? 1 : 0)
    }

    function test_new_maps_properties_are_empty() {
        var m = make("MapsLocationProperties")
        compare(m.contentVersion, "")
        compare(m.appVersion, "")
        compare(m.placeId, "")
        compare(m.placeUrlId, 0)
    }

    function test_maps_properties() {
        var m = make("MapsLocationProperties")
        var s = spies(m, ["appVersionChanged", "contentVersionChanged", "placeIdChanged", "placeUrlIdChanged"])
        m.appVersion = "Kartat 2.1 – β"
        compare(m.getMapsAppVersion(), "Kartat 2.1 – β")
        m.setBasePOI("place-ä-42", 4000000000)
        compare(m.placeId, "place-ä-42")
        compare(m.placeUrlId, 4000000000)
        compare(counts(s), { appVersionChanged: 1, contentVersionChanged: 0, placeIdChanged: 1, placeUrlIdChanged: 1 })
    }
}
