import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// GenericObject as QML sees it: header values, marks, sharing, sections, custom keys.
TestCase {
    name: "GenericObject"

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

    readonly property var allSignals: ["nameChanged", "modificationDateChanged", "classChanged",
        "systemChanged", "localOnlyChanged", "sharingChanged", "metadataChanged", "boundingBoxChanged"]

    function expectOnly(s, emitted) {
        for (var name in s) compare(s[name].count, emitted[name] || 0, name)
    }

    function test_new_object() {
        var o = make("GenericObject")
        compare(o.LID, 0)
        compare(o.GID, 0)
        compare(o.className, "")
        compare(o.name, "")
        compare(o.owner, "")
        compare(o.version, 0)
        compare(o.system, false)
        compare(o.local, false)
        compare(o.sharing, 0)
        compare(o.modStates, 0)
        compare(o.metadata, null)
        compare(o.boundingBox, null)
        compare(o.modificationDate.getTime(), 0)
        var link = o.createLink()
        compare(link.targetLID, 0)
        compare(link.targetGID, 0)
    }

    function test_read_only_header_data() {
        return [ { tag: "LID", name: "LID" }, { tag: "GID", name: "GID" }, { tag: "version", name: "version" },
                 { tag: "owner", name: "owner" }, { tag: "modStates", name: "modStates" },
                 { tag: "modificationDate", name: "modificationDate" } ]
    }

    function test_read_only_header(row) {
        var o = make("GenericObject")
        var refused = false
        try { o[row.name] = 5 } catch (e) { refused = true }
        verify(refused)
    }

    function test_name_and_class_data() {
        return [
            { tag: "name", property: "name", signal: "classChanged", other: "nameChanged" },
            { tag: "className", property: "className", signal: "nameChanged", other: "classChanged" },
        ]
    }

    // A change emits once; the same value again emits nothing.
    function test_name_and_class(row) {
        var o = make("GenericObject")
        var s = spies(o, allSignals)
        o[row.property] = "harbour"
        o[row.property] = "harbour"
        compare(o[row.property], "harbour")
        var emitted = {}
        emitted[row.other] = 1
        expectOnly(s, emitted)
        o[row.property] = ""
        compare(s[row.other].count, 2)
    }

    function test_system_prefix() {
        var o = make("GenericObject")
        o.name = "a"
        var s = spies(o, allSignals)
        o.system = true
        compare(o.name, "sys.a")
        compare(o.system, true)
        o.system = true
        expectOnly(s, { systemChanged: 1 })
        o.setSystem(false)
        compare(o.name, "a")
        expectOnly(s, { systemChanged: 2 })
        o.name = "sys.config"
        compare(o.system, true)
    }

    function test_local_only() {
        var o = make("GenericObject")
        var s = spies(o, ["localOnlyChanged"])
        o.local = true
        o.local = true
        compare(o.isLocalOnly(), true)
        o.setLocalOnly(false)
        compare(o.local, false)
        compare(s.localOnlyChanged.count, 2)
    }

    function test_sharing_data() {
        return [
            { tag: "public read-write", value: 2, stored: 2, emitted: 1 },
            { tag: "public read-only", value: 1, stored: 1, emitted: 1 },
            { tag: "private again", value: 0, stored: 0, emitted: 0 },
            { tag: "deleted by owner refused", value: 3, stored: 0, emitted: 0 },
            { tag: "negative refused", value: -1, stored: 0, emitted: 0 },
            { tag: "seven refused", value: 7, stored: 0, emitted: 0 },
        ]
    }

    function test_sharing(row) {
        var o = make("GenericObject")
        var s = spies(o, ["sharingChanged"])
        o.sharing = row.value
        o.setSharing(row.value)
        compare(o.sharing, row.stored)
        compare(s.sharingChanged.count, row.emitted)
    }

    function test_metadata_is_live() {
        var o = make("GenericObject")
        var s = spies(o, ["metadataChanged"])
        o.metadata = null
        compare(s.metadataChanged.count, 0)
        var given = make("Metadata")
        given.setName("Harbour", "en")
        o.metadata = given
        compare(s.metadataChanged.count, 1)
        given.setName("Elsewhere", "en")         // the given element stays apart
        var first = o.metadata
        var second = o.getMetadata()
        verify(first !== second)
        compare(first.getName("en"), "Harbour")
        first.setName("Satama", "fi")
        compare(second.getName("fi"), "Satama")   // both view the object's section
        second.setDescription("Boats")
        compare(o.metadata.getDescription(), "Boats")
    }

    function test_bounding_box_is_live() {
        var o = make("GenericObject")
        var box = make("BoundingBox")
        box.setAltitudeLimits(1, 2)
        o.setBoundingBox(box)
        box.setAltitudeLimits(5, 6)
        compare(o.boundingBox.minAltitude, 1)
        o.boundingBox.setAltitudeLimits(-10, 10)
        compare(o.getBoundingBox().maxAltitude, 10)
        o.setBoundingBox(null)
        compare(o.boundingBox.maxAltitude, 10)
    }

    function test_custom_keys_data() {
        return [
            { tag: "same key", service: "app", key: "colour", value: "blue", rservice: "app", rkey: "colour", read: "blue" },
            { tag: "utf-8 value", service: "app", key: "note", value: "Kahvila ☕ 北", rservice: "app", rkey: "note", read: "Kahvila ☕ 北" },
            { tag: "other key", service: "app", key: "colour", value: "blue", rservice: "app", rkey: "size", read: "" },
            { tag: "other service", service: "app", key: "colour", value: "blue", rservice: "web", rkey: "colour", read: "" },
            { tag: "any service", service: "app", key: "colour", value: "blue", rservice: "", rkey: "colour", read: "blue" },
        ]
    }

    function test_custom_keys(row) {
        var o = make("GenericObject")
        var s = spies(o, allSignals)
        o.setCustomKey(row.service, row.key, row.value)
        compare(o.getCustomKey(row.rservice, row.rkey), row.read)
        expectOnly(s, {})
    }

    function test_custom_key_replace_and_remove() {
        var o = make("GenericObject")
        o.setCustomKey("app", "colour", "blue")
        o.setCustomKey("app", "colour", "red")
        o.setCustomKey("app", "size", "L")
        o.setCustomKey("web", "url", "http://example.fi")
        compare(o.getCustomKey("app", "colour"), "red")
        o.removeCustomKeys("app", "colour")
        compare(o.getCustomKey("app", "colour"), "")
        compare(o.getCustomKey("app", "size"), "L")
        o.removeCustomKeys("app", "")
        compare(o.getCustomKey("app", "size"), "")
        compare(o.getCustomKey("web", "url"), "http://example.fi")
        o.removeCustomKeys("", "")
        compare(o.getCustomKey("web", "url"), "")
        o.removeCustomKeys("none", "key")
    }

    function test_typed_objects_are_generic_objects_data() {
        return [
            { tag: "location", type: "LocationObject", className: "location" },
            { tag: "collection", type: "CollectionObject", className: "collection" },
            { tag: "route", type: "RouteObject", className: "route" },
        ]
    }

    // A typed element is a generic one: its class, and a metadata element accepts it as is.
    function test_typed_objects_are_generic_objects(row) {
        var o = make(row.type)
        compare(o.className, row.className)
        compare(o.LID, 0)
        var meta = make("Metadata")
        meta.setName("Typed")
        o.metadata = meta
        compare(o.getMetadata().getName(), "Typed")
        o.setCustomKey("app", "k", "v")
        compare(o.getCustomKey("app", "k"), "v")
    }
}
