import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// LocationObject, CollectionObject and RouteObject: their typed parts over one object.
TestCase {
    name: "TypedObjects"

    function make(type) {
        return createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function test_new_location() {
        var l = make("LocationObject")
        compare(l.className, "location")
        compare(l.LID, 0)
        compare(l.address, null)
        compare(l.contact, null)
        compare(l.position, null)
        compare(l.properties, null)
        compare(l.getPlaceCategories(), [])
        compare(l.getQuadCategories(), "")
    }

    // Section setters copy; section getters are live views of the place.
    function test_location_sections_data() {
        return [
            { tag: "address", type: "Address", property: "address", signal: "addressChanged",
              write: function(e, v) { e.setField(5, v) }, read: function(e) { return e.getField(5) } },
            { tag: "contact", type: "Contact", property: "contact", signal: "contactChanged",
              write: function(e, v) { e.setField(1, v) }, read: function(e) { return e.getField(1) } },
            { tag: "position", type: "Position", property: "position", signal: "positionChanged",
              write: function(e, v) { e.setCoordinates(v.length, 20) }, read: function(e) { return e.latitude } },
            { tag: "properties", type: "MapsLocationProperties", property: "properties", signal: "propertiesChanged",
              write: function(e, v) { e.appVersion = v }, read: function(e) { return e.appVersion } },
        ]
    }

    function test_location_sections(row) {
        var l = make("LocationObject")
        var s = spy(l, row.signal)
        var given = make(row.type)
        row.write(given, "Tampere")
        l[row.property] = null
        compare(s.count, 0)
        l[row.property] = given
        compare(s.count, 1)
        var stored = row.read(l[row.property])
        row.write(given, "Oulu, later")         // the given element stays apart
        compare(row.read(l[row.property]), stored)
        var view = l[row.property]
        row.write(view, "Turku")                // a handed-out element is live
        compare(row.read(l[row.property]), row.read(view))
        verify(row.read(l[row.property]) !== stored)
    }

    function test_place_categories() {
        var l = make("LocationObject")
        var s = spy(l, "placeCategoriesChanged")
        l.setPlaceCategories(["cafe", "", "museum", "cafe"])
        compare(l.getPlaceCategories(), ["cafe", "museum"])
        compare(s.count, 1)
        l.setPlaceCategories([])
        compare(l.getPlaceCategories(), [])
        compare(s.count, 2)
    }

    function test_quad_categories() {
        var l = make("LocationObject")
        var s = spy(l, "quadCategoriesChanged")
        l.setQuadCategories("0123")
        l.setQuadCategories("0123")
        compare(l.getQuadCategories(), "0123")
        compare(s.count, 2)
    }

    // The maps properties live in the custom section "maps", beside custom keys of "maps".
    function test_maps_properties_share_the_maps_custom_section() {
        var l = make("LocationObject")
        var props = make("MapsLocationProperties")
        props.contentVersion = "1.2.3.4"
        l.properties = props
        l.setCustomKey("maps", "extra", "x")
        compare(l.properties.contentVersion, "1.2.3.4")
        compare(l.getCustomKey("maps", "extra"), "x")
        l.removeCustomKeys("maps", "")
        compare(l.properties, null)
        compare(l.getCustomKey("maps", "extra"), "")
    }


    function test_new_collection() {
        var c = make("CollectionObject")
        compare(c.className, "collection")
        compare(c.items.length, 0)
    }

    // Empty links (no ids) are all kept; other entries are skipped.
    function test_collection_items_skip_other_entries() {
        var c = make("CollectionObject")
        var s = spy(c, "itemsChanged")
        c.items = [make("ObjectLink"), null, make("Metadata"), make("ObjectLink")]
        compare(s.count, 1)
        var first = c.getItems()
        var second = c.items
        compare(first.length, 2)
        verify(first[0] !== second[0])
        compare(first[0].targetLID, 0)
        c.setItems([])
        compare(c.items.length, 0)
        compare(s.count, 2)
    }

    function test_new_route() {
        var r = make("RouteObject")
        compare(r.className, "route")
        compare(r.properties, null)
        compare(r.wayPoints.length, 0)
    }

    function test_route_properties() {
        var r = make("RouteObject")
        var s = spy(r, "routePropertiesChanged")
        var given = make("RouteProperties")
        given.setMode(given.MODE_CAR)
        r.properties = null
        compare(s.count, 0)
        r.properties = given
        compare(s.count, 1)
        given.setMode(given.MODE_PEDESTRIAN)
        compare(r.properties.getMode(), 2)
        r.properties.setType(6)                 // live view
        compare(r.getRouteProperties().getType(), 6)
    }

    function waypoint(comment) {
        var w = make("Waypoint")
        w.setComment(comment)
        return w
    }

    function comments(route) {
        var out = []
        var points = route.wayPoints
        for (var i = 0; i < points.length; ++i) out.push(points[i].getComment())
        return out
    }

    // Waypoints are added, moved and removed by giving the route a new list.
    function test_waypoint_list_edits() {
        var r = make("RouteObject")
        var s = spy(r, "wayPointsChanged")
        r.wayPoints = [waypoint("a"), waypoint("b"), make("ObjectLink"), null]
        compare(comments(r), ["a", "b"])
        var points = r.getWayPoints()
        points.push(waypoint("c"))                     // add
        r.setWayPoints(points)
        compare(comments(r), ["a", "b", "c"])
        points = r.wayPoints
        r.wayPoints = [points[2], points[0], points[1]] // move
        compare(comments(r), ["c", "a", "b"])
        points = r.wayPoints
        r.wayPoints = [points[0], points[2]]           // remove
        compare(comments(r), ["c", "b"])
        compare(s.count, 4)
    }

    function test_handed_out_waypoints_are_copies() {
        var r = make("RouteObject")
        r.wayPoints = [waypoint("start")]
        var points = r.wayPoints
        points[0].setComment("changed")
        compare(comments(r), ["start"])
        r.wayPoints = points
        compare(comments(r), ["changed"])
    }
}
