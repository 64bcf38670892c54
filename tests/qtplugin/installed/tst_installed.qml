import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// Run against a staged install: the module is found by its URI in the install's QML
// directory, and its library finds libkeldra of the same install.
TestCase {
    name: "Installed"

    GeoRect { id: rect }

    function test_module_works() {
        rect.setBounds(1, 2, 3, 4, 1)
        compare(rect.maxLatitude, 4)
        compare(rect.coordinateDatum, 1)
    }
}
