import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0
import KeldraTest 1.0

// Every QML snippet that README.md and doc/qml.md present (each ```qml block, a whole
// QML document) loads unchanged: it compiles with the imports it names and makes its
// root object. The objects go again at once, before any work they start reports.
TestCase {
    name: "DocSnippets"

    readonly property var pages: ["README.md", "doc/qml.md"]

    function initTestCase() {
        verify(TestControl.startBus(), TestControl.error())
    }

    // The ```qml blocks of |text|, in order.
    function snippets(text) {
        var out = []
        var open = "\n```qml\n"
        var at = text.indexOf(open)
        while (at >= 0) {
            var begin = at + open.length
            var end = text.indexOf("\n```", begin - 1)
            if (end < 0) break
            out.push(text.substring(begin, end + 1))
            at = text.indexOf(open, end + 1)
        }
        return out
    }

    function test_every_page_has_snippets() {
        for (var i = 0; i < pages.length; ++i) {
            var text = TestControl.readSource(pages[i])
            verify(text.length > 0, pages[i] + " read")
            verify(snippets(text).length > 0, pages[i] + " has qml blocks")
        }
    }

    function test_snippet_loads_data() {
        var rows = []
        for (var i = 0; i < pages.length; ++i) {
            var found = snippets(TestControl.readSource(pages[i]))
            for (var j = 0; j < found.length; ++j)
                rows.push({ tag: pages[i] + " #" + (j + 1), text: found[j] })
        }
        return rows
    }

    function test_snippet_loads(row) {
        var made = null
        try {
            made = Qt.createQmlObject(row.text, this, row.tag)
        } catch (e) {
            var why = e.qmlErrors ? e.qmlErrors.map(function(m) {
                return m.lineNumber + ":" + m.columnNumber + " " + m.message
            }).join("; ") : String(e)
            fail(row.tag + " does not load: " + why)
        }
        verify(made !== null, row.tag)
        made.destroy()
        wait(0)
    }
}
