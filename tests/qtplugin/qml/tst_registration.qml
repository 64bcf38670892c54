import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0
import KeldraTest 1.0

// The module's element types are creatable from QML, and every enum constant reads as a
// property of an element instance and refuses writes.
TestCase {
    name: "Registration"

    // Store and SyncService elements reach the session bus: the private one.
    function initTestCase() {
        verify(TestControl.startBus(), TestControl.error())
    }

    function make(type) {
        return createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this, type)
    }

    function test_creatable_data() {
        return [
            { tag: "Address", type: "Address" },
            { tag: "BoundingBox", type: "BoundingBox" },
            { tag: "CollectionObject", type: "CollectionObject" },
            { tag: "Contact", type: "Contact" },
            { tag: "FileSyncOptions", type: "FileSyncOptions" },
            { tag: "GenericObject", type: "GenericObject" },
            { tag: "GeoCoordinates", type: "GeoCoordinates" },
            { tag: "GeoRect", type: "GeoRect" },
            { tag: "ImageLink", type: "ImageLink" },
            { tag: "LocationObject", type: "LocationObject" },
            { tag: "MapsLocationProperties", type: "MapsLocationProperties" },
            { tag: "Metadata", type: "Metadata" },
            { tag: "ObjectLink", type: "ObjectLink" },
            { tag: "Position", type: "Position" },
            { tag: "RouteObject", type: "RouteObject" },
            { tag: "RouteProperties", type: "RouteProperties" },
            { tag: "SearchCriteria", type: "SearchCriteria" },
            { tag: "SearchSorting", type: "SearchSorting" },
            { tag: "Store", type: "Store" },
            { tag: "SyncService", type: "SyncService" },
            { tag: "Keldra", type: "Keldra" },
            { tag: "Waypoint", type: "Waypoint" },
        ]
    }

    function test_creatable(row) {
        var element = make(row.type)
        verify(element !== null, row.type)
    }

    function test_constants_data() {
        return [
            { tag: "STATUS_INPROGRESS", type: "Keldra", name: "STATUS_INPROGRESS", value: 0 },
            { tag: "STATUS_OK", type: "Keldra", name: "STATUS_OK", value: 1 },
            { tag: "STATUS_ERROR_NETWORK_PROBLEM", type: "Keldra", name: "STATUS_ERROR_NETWORK_PROBLEM", value: 2 },
            { tag: "STATUS_ERROR_WRONG_LOGIN", type: "Keldra", name: "STATUS_ERROR_WRONG_LOGIN", value: 3 },
            { tag: "STATUS_CANCELED", type: "Keldra", name: "STATUS_CANCELED", value: 4 },
            { tag: "STATUS_ERROR_UNKNOWN", type: "Keldra", name: "STATUS_ERROR_UNKNOWN", value: 5 },
            { tag: "SHARING_PRIVATE", type: "Keldra", name: "SHARING_PRIVATE", value: 0 },
            { tag: "SHARING_PUBLIC_READONLY", type: "Keldra", name: "SHARING_PUBLIC_READONLY", value: 1 },
            { tag: "SHARING_PUBLIC_READWRITE", type: "Keldra", name: "SHARING_PUBLIC_READWRITE", value: 2 },
            { tag: "SHARING_DELETED_BY_OWNER", type: "Keldra", name: "SHARING_DELETED_BY_OWNER", value: 3 },
            { tag: "STATE_MODIFIED", type: "Keldra", name: "STATE_MODIFIED", value: 1 },
            { tag: "STATE_LINKS_MODIFIED", type: "Keldra", name: "STATE_LINKS_MODIFIED", value: 2 },
            { tag: "STATE_HAS_LOCAL_ONLY_CONTENT", type: "Keldra", name: "STATE_HAS_LOCAL_ONLY_CONTENT", value: 4 },
            { tag: "STATE_HAS_REMOTE_ONLY_CONTENT", type: "Keldra", name: "STATE_HAS_REMOTE_ONLY_CONTENT", value: 8 },
            { tag: "AREA_ALL_POSITIONS", type: "SearchCriteria", name: "AREA_ALL_POSITIONS", value: 0 },
            { tag: "AREA_ANY_POSITION", type: "SearchCriteria", name: "AREA_ANY_POSITION", value: 1 },
            { tag: "AREA_INCLUDES_BBOX", type: "SearchCriteria", name: "AREA_INCLUDES_BBOX", value: 2 },
            { tag: "AREA_TOUCHES_BBOX", type: "SearchCriteria", name: "AREA_TOUCHES_BBOX", value: 3 },
            { tag: "TEXT_EQUALS", type: "SearchCriteria", name: "TEXT_EQUALS", value: 0 },
            { tag: "TEXT_STARTS_WITH", type: "SearchCriteria", name: "TEXT_STARTS_WITH", value: 1 },
            { tag: "TEXT_ANY_WORD_STARTS_WITH", type: "SearchCriteria", name: "TEXT_ANY_WORD_STARTS_WITH", value: 2 },
            { tag: "TEXT_CONTAINS", type: "SearchCriteria", name: "TEXT_CONTAINS", value: 3 },
            { tag: "SORT_BY_NONE", type: "SearchSorting", name: "SORT_BY_NONE", value: 1 },
            { tag: "SORT_BY_NAME", type: "SearchSorting", name: "SORT_BY_NAME", value: 2 },
            { tag: "SORT_BY_DATE", type: "SearchSorting", name: "SORT_BY_DATE", value: 4 },
            { tag: "SORT_BY_DISTANCE", type: "SearchSorting", name: "SORT_BY_DISTANCE", value: 5 },
            { tag: "UNKNOWN_ALTITUDE", type: "GeoCoordinates", name: "UNKNOWN_ALTITUDE", value: 1073741824 },
            { tag: "DATUM_WGS84", type: "Position", name: "DATUM_WGS84", value: 0 },
            { tag: "DATUM_CHINA", type: "Position", name: "DATUM_CHINA", value: 1 },
            { tag: "CITY", type: "Address", name: "CITY", value: 5 },
            { tag: "EMAIL", type: "Contact", name: "EMAIL", value: 4 },
            { tag: "MODE_CAR", type: "RouteProperties", name: "MODE_CAR", value: 2 },
            { tag: "NO_SUBWAY", type: "RouteProperties", name: "NO_SUBWAY", value: 256 },
        ]
    }

    function test_constants(row) {
        var element = make(row.type)
        compare(element[row.name], row.value)
        var refused = false
        try {
            element[row.name] = row.value + 1
        } catch (e) {
            refused = true
        }
        verify(refused, "writing " + row.name + " must throw")
        compare(element[row.name], row.value)
    }
}
