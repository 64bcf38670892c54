import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

TestCase {
    name: "ObjectLink"

    ObjectLink { id: declared }

    function test_declared_link_is_empty() {
        compare(declared.targetLID, 0)
        compare(declared.targetGID, 0)
        compare(declared.getTargetLID(), 0)
        compare(declared.getTargetGID(), 0)
    }

    function test_ids_cannot_be_written_data() {
        return [ { tag: "targetLID", property: "targetLID" }, { tag: "targetGID", property: "targetGID" } ]
    }

    function test_ids_cannot_be_written(row) {
        var link = createTemporaryQmlObject("import Keldra 1.0; ObjectLink {}", this)
        var refused = false
        try {
            link[row.property] = 9
        } catch (e) {
            refused = true
        }
        verify(refused)
        compare(link[row.property], 0)
    }
}
