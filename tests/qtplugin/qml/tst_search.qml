import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// SearchSorting and SearchCriteria as QML sees them (what they build is checked in C++).
TestCase {
    name: "Search"

    function sorting() {
        return createTemporaryQmlObject("import Keldra 1.0; SearchSorting {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function test_fresh_sorting() {
        var s = sorting()
        compare(s.sortBy, s.SORT_BY_NONE)
        compare(s.ascending, true)
        compare(s.getSortBy(), 1)
        compare(s.isSortAscending(), true)
    }

    // Accepted calls emit both signals, every time; other types change and emit nothing.
    function test_set_sort_data() {
        return [
            { tag: "by date descending", sortBy: 4, ascending: false, accepted: true },
            { tag: "by name", sortBy: 2, ascending: true, accepted: true },
            { tag: "by distance", sortBy: 5, ascending: false, accepted: true },
            { tag: "none, unchanged values", sortBy: 1, ascending: true, accepted: true },
            { tag: "no type 3", sortBy: 3, ascending: false, accepted: false },
            { tag: "zero", sortBy: 0, ascending: false, accepted: false },
            { tag: "six", sortBy: 6, ascending: false, accepted: false },
            { tag: "negative", sortBy: -2, ascending: false, accepted: false },
        ]
    }

    function test_set_sort(row) {
        var s = sorting()
        var bySpy = spy(s, "sortByChanged")
        var ascSpy = spy(s, "ascendingChanged")
        s.setSort(row.sortBy, row.ascending)
        s.setSort(row.sortBy, row.ascending)
        var emitted = row.accepted ? 2 : 0
        compare(bySpy.count, emitted)
        compare(ascSpy.count, emitted)
        compare(s.sortBy, row.accepted ? row.sortBy : 1)
        compare(s.ascending, row.accepted ? row.ascending : true)
    }

    function test_sorting_properties_are_read_only_data() {
        return [
            { tag: "sortBy", property: "sortBy", value: 2 },
            { tag: "ascending", property: "ascending", value: false },
        ]
    }

    function test_sorting_properties_are_read_only(row) {
        var s = sorting()
        var refused = false
        try {
            s[row.property] = row.value
        } catch (e) {
            refused = true
        }
        verify(refused)
        compare(s.sortBy, 1)
        compare(s.ascending, true)
    }

    // The criteria element's slots are callable from QML with QML values.
    function test_criteria_slots() {
        var c = createTemporaryQmlObject("import Keldra 1.0; SearchCriteria {}", this)
        c.setClasses(["route", "location"])
        c.appendClass("collection")
        c.setTextPattern("café", c.TEXT_CONTAINS)
        c.setTextPattern("x", 4)
        verify(c.buildCriteria === undefined, "the builder is not for QML")
    }
}
