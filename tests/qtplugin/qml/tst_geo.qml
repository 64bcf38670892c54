import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// GeoCoordinates, GeoRect and BoundingBox as QML sees them.
TestCase {
    name: "Geo"

    function coordinates(lat, lon, alt) {
        var c = createTemporaryQmlObject("import Keldra 1.0; GeoCoordinates {}", this)
        if (lat !== undefined) c.latitude = lat
        if (lon !== undefined) c.longitude = lon
        if (alt !== undefined) c.altitude = alt
        return c
    }

    function rect() {
        return createTemporaryQmlObject("import Keldra 1.0; GeoRect {}", this)
    }

    function box() {
        return createTemporaryQmlObject("import Keldra 1.0; BoundingBox {}", this)
    }

    function spies(target, signalNames) {
        var out = {}
        for (var i = 0; i < signalNames.length; ++i) {
            out[signalNames[i]] = createTemporaryQmlObject(
                "import QtTest 1.2; SignalSpy {}", this)
            out[signalNames[i]].target = target
            out[signalNames[i]].signalName = signalNames[i]
        }
        return out
    }

    function test_new_coordinates_are_unknown() {
        var c = coordinates()
        verify(isNaN(c.latitude))
        verify(isNaN(c.longitude))
        compare(c.altitude, 1073741824)
        compare(c.altitude, c.UNKNOWN_ALTITUDE)
        verify(isNaN(c.getLatitude()))
    }

    // Reads follow validity: an out-of-range point reads as unknown, whatever it holds.
    function test_coordinate_reads_data() {
        return [
            { tag: "valid", lat: 60.17, lon: 24.94, alt: 12.5, rlat: 60.17, rlon: 24.94, ralt: 12.5 },
            { tag: "altitude unset", lat: 1, lon: 2, alt: undefined, rlat: 1, rlon: 2, ralt: 1073741824 },
            { tag: "latitude out of range", lat: 91, lon: 2, alt: 5, rlat: NaN, rlon: NaN, ralt: 1073741824 },
            { tag: "longitude out of range", lat: 1, lon: -181, alt: 5, rlat: NaN, rlon: NaN, ralt: 1073741824 },
            { tag: "only latitude", lat: 1, lon: undefined, alt: undefined, rlat: NaN, rlon: NaN, ralt: 1073741824 },
            { tag: "edges", lat: -90, lon: 180, alt: -3, rlat: -90, rlon: 180, ralt: -3 },
        ]
    }

    function test_coordinate_reads(row) {
        var c = coordinates(row.lat, row.lon, row.alt)
        if (isNaN(row.rlat)) verify(isNaN(c.latitude)); else compare(c.latitude, row.rlat)
        if (isNaN(row.rlon)) verify(isNaN(c.longitude)); else compare(c.longitude, row.rlon)
        compare(c.altitude, row.ralt)
    }

    // Every write emits its own signal, also when the value stays the same.
    function test_coordinate_signals_data() {
        return [
            { tag: "latitude", property: "latitude", signal: "latitudeChanged", setter: "setLatitude" },
            { tag: "longitude", property: "longitude", signal: "longitudeChanged", setter: "setLongitude" },
            { tag: "altitude", property: "altitude", signal: "altitudeChanged", setter: "setAltitude" },
        ]
    }

    function test_coordinate_signals(row) {
        var c = coordinates()
        var s = spies(c, ["latitudeChanged", "longitudeChanged", "altitudeChanged"])
        c[row.property] = 10
        c[row.setter](10)
        compare(s[row.signal].count, 2)
        for (var name in s) {
            if (name !== row.signal) compare(s[name].count, 0, name)
        }
    }

    function test_distance_and_heading_data() {
        return [
            { tag: "north one degree", a: [0, 0, 0], b: [1, 0, 5000], distance: 111196.8, heading: 0 },
            { tag: "east on the equator", a: [0, 0, 0], b: [0, 1, 0], distance: 111196.8, heading: 90 },
            { tag: "south-west", a: [10, 10, 0], b: [9, 9, 0], distance: 155940, heading: 224.6 },
        ]
    }

    function test_distance_and_heading(row) {
        var a = coordinates(row.a[0], row.a[1], row.a[2])
        var b = coordinates(row.b[0], row.b[1], row.b[2])
        fuzzyCompare(a.distance(b), row.distance, row.distance * 0.002)
        fuzzyCompare(a.heading(b), row.heading, 0.2)
    }

    // The other point's altitude plays no part in the distance.
    function test_distance_ignores_altitude() {
        var a = coordinates(45, 7, 0)
        var low = coordinates(45.5, 7.5, 0)
        var high = coordinates(45.5, 7.5, 8000)
        compare(a.distance(low), a.distance(high))
    }

    function test_unknown_or_null_other_point() {
        var a = coordinates(1, 2, 3)
        var unknown = coordinates()
        verify(isNaN(a.distance(unknown)))
        verify(isNaN(a.heading(unknown)))
        verify(isNaN(a.distance(null)))
        verify(isNaN(a.heading(null)))
        compare(a.equals(null), false)
    }

    function test_equals_data() {
        return [
            { tag: "same point", a: [1, 2, 3], b: [1, 2, 3], equal: true },
            { tag: "other altitude", a: [1, 2, 3], b: [1, 2, 4], equal: false },
            { tag: "both without altitude", a: [1, 2, undefined], b: [1, 2, undefined], equal: true },
            { tag: "other latitude", a: [1, 2, 3], b: [1.5, 2, 3], equal: false },
            { tag: "both unknown", a: [undefined, undefined, undefined], b: [undefined, undefined, undefined], equal: true },
            { tag: "one unknown", a: [1, 2, 3], b: [undefined, undefined, undefined], equal: false },
        ]
    }

    function test_equals(row) {
        var a = coordinates(row.a[0], row.a[1], row.a[2])
        var b = coordinates(row.b[0], row.b[1], row.b[2])
        compare(a.equals(b), row.equal)
        compare(b.equals(a), row.equal)
    }

    function test_new_rect_is_not_valid() {
        var r = rect()
        verify(isNaN(r.minLatitude))
        verify(isNaN(r.maxLatitude))
        verify(isNaN(r.minLongitude))
        verify(isNaN(r.maxLongitude))
        compare(r.coordinateDatum, 0)
    }

    // setBounds(west, east, south, north[, datum]); the datum reads 1 only for China.
    function test_set_bounds_data() {
        return [
            { tag: "no datum", args: [10, 20, -5, 5], datum: 0 },
            { tag: "datum 0", args: [10, 20, -5, 5, 0], datum: 0 },
            { tag: "datum 1 china", args: [10, 20, -5, 5, 1], datum: 1 },
            { tag: "datum 5", args: [10, 20, -5, 5, 5], datum: 0 },
            { tag: "datum -1", args: [10, 20, -5, 5, -1], datum: 0 },
            { tag: "across the meridian", args: [170, -170, -5, 5, 1], datum: 1 },
        ]
    }

    function test_set_bounds(row) {
        var r = rect()
        var s = spies(r, ["minLatitudeChanged", "maxLatitudeChanged", "minLongitudeChanged",
                          "maxLongitudeChanged", "coordinateDatumChanged"])
        r.setBounds.apply(r, row.args)
        compare(r.minLongitude, row.args[0])
        compare(r.maxLongitude, row.args[1])
        compare(r.minLatitude, row.args[2])
        compare(r.maxLatitude, row.args[3])
        compare(r.coordinateDatum, row.datum)
        for (var name in s) compare(s[name].count, 1, name)
    }

    // Limits the geo library rejects leave the earlier rectangle and datum, silently.
    function test_rejected_bounds_data() {
        return [
            { tag: "south above north", args: [10, 20, 6, 5, 0] },
            { tag: "latitude beyond the pole", args: [10, 20, -5, 95, 0] },
            { tag: "longitude beyond 180", args: [10, 200, -5, 5, 0] },
            { tag: "NaN edge", args: [NaN, 20, -5, 5, 0] },
        ]
    }

    function test_rejected_bounds(row) {
        var r = rect()
        r.setBounds(1, 2, 3, 4, 1)
        var s = spies(r, ["minLatitudeChanged", "maxLatitudeChanged", "minLongitudeChanged",
                          "maxLongitudeChanged", "coordinateDatumChanged"])
        r.setBounds.apply(r, row.args)
        compare([r.minLongitude, r.maxLongitude, r.minLatitude, r.maxLatitude], [1, 2, 3, 4])
        compare(r.coordinateDatum, 1)
        for (var name in s) compare(s[name].count, 0, name)
    }

    function test_new_box_is_empty() {
        var b = box()
        verify(isNaN(b.minAltitude))
        verify(isNaN(b.maxAltitude))
        var limits = b.coordinateLimits
        verify(isNaN(limits.minLatitude))
        compare(limits.coordinateDatum, 0)
    }

    // Altitudes are stored in single precision; no order check.
    function test_altitude_limits_data() {
        return [
            { tag: "single precision", bottom: 1.1, top: 2.2, min: 1.100000023841858, max: 2.200000047683716 },
            { tag: "bottom above top", bottom: 500, top: -20, min: 500, max: -20 },
        ]
    }

    function test_altitude_limits(row) {
        var b = box()
        var s = spies(b, ["minAltitudeChanged", "maxAltitudeChanged", "coordinateLimitsChanged"])
        b.setAltitudeLimits(row.bottom, row.top)
        compare(b.minAltitude, row.min)
        compare(b.maxAltitude, row.max)
        compare(b.getMinAltitude(), row.min)
        compare(s.minAltitudeChanged.count, 1)
        compare(s.maxAltitudeChanged.count, 1)
        compare(s.coordinateLimitsChanged.count, 0)
    }

    function test_coordinate_limits_data() {
        return [
            { tag: "wgs84", args: [10, 20, -5, 5, 0], limits: [10, 20, -5, 5], datum: 0 },
            { tag: "china", args: [-1.5, 1.5, 50, 51, 1], limits: [-1.5, 1.5, 50, 51], datum: 1 },
        ]
    }

    function test_coordinate_limits(row) {
        var b = box()
        var r = rect()
        r.setBounds.apply(r, row.args)
        var s = spies(b, ["coordinateLimitsChanged"])
        b.coordinateLimits = r
        compare(s.coordinateLimitsChanged.count, 1)
        var first = b.coordinateLimits
        var second = b.getCoordinateLimits()
        verify(first !== second, "every read makes a new element")
        var all = [first, second]
        for (var i = 0; i < all.length; ++i) {
            compare([all[i].minLongitude, all[i].maxLongitude, all[i].minLatitude, all[i].maxLatitude],
                    row.limits)
            compare(all[i].coordinateDatum, row.datum)
        }
    }

    // A rectangle that is not valid is stored as four NaN limits.
    function test_invalid_rect_clears_the_limits() {
        var b = box()
        var r = rect()
        r.setBounds(10, 20, -5, 5, 1)
        b.setCoordinateLimits(r)
        b.setCoordinateLimits(rect())
        var limits = b.coordinateLimits
        verify(isNaN(limits.minLatitude))
        verify(isNaN(limits.maxLongitude))
    }

    function test_null_limits_ignored() {
        var b = box()
        var r = rect()
        r.setBounds(10, 20, -5, 5)
        b.setCoordinateLimits(r)
        var s = spies(b, ["coordinateLimitsChanged"])
        b.setCoordinateLimits(null)
        compare(s.coordinateLimitsChanged.count, 0)
        compare(b.coordinateLimits.maxLongitude, 20)
    }
}
