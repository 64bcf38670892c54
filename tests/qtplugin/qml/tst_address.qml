import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// Address and Contact as QML sees them (what reaches the library is checked in C++).
TestCase {
    name: "Address"

    function make(type) {
        return createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this)
    }

    function test_field_constants_data() {
        var names = ["COUNTRY", "COUNTRY_CODE", "STATE", "COUNTY", "CITY", "DISTRICT",
                     "POSTAL_CODE", "NEIGHBORHOOD", "STREET", "STREET_NUMBER", "EXTENSION",
                     "CROSSING1", "CROSSING2", "BUILDING_NAME", "BUILDING_FLOOR",
                     "BUILDING_ZONE", "BUILDING_ROOM", "BUILDING_ROOM_NAME"]
        var rows = []
        for (var i = 0; i < names.length; ++i)
            rows.push({ tag: names[i], type: "Address", name: names[i], value: i + 1 })
        var contact = ["PHONE", "FAX", "MOBILE", "EMAIL", "WEB", "SIP"]
        for (var j = 0; j < contact.length; ++j)
            rows.push({ tag: contact[j], type: "Contact", name: contact[j], value: j + 1 })
        return rows
    }

    function test_field_constants(row) {
        var element = make(row.type)
        compare(element[row.name], row.value)
    }

    function test_new_address_is_empty() {
        var a = make("Address")
        for (var f = 0; f <= 19; ++f) compare(a.getField(f), "", "field " + f)
        compare(a.getMetadata(), null)
        compare(a.metadata, null)
    }

    // Each field keeps its own text, any text surviving the conversions.
    function test_fields_data() {
        return [
            { tag: "city non-ascii", field: 5, text: "Hämeenlinna – 北京 🗺" },
            { tag: "country", field: 1, text: "Suomi" },
            { tag: "room name", field: 18, text: "Sali B" },
            { tag: "empty text", field: 9, text: "" },
        ]
    }

    function test_fields(row) {
        var a = make("Address")
        a.setField(a.STREET, "placeholder")
        a.setField(row.field, row.text)
        compare(a.getField(row.field), row.text)
        if (row.field !== a.STREET) compare(a.getField(a.STREET), "placeholder")
    }

    function test_out_of_range_fields_data() {
        return [ { tag: "zero", field: 0 }, { tag: "nineteen", field: 19 }, { tag: "negative", field: -5 } ]
    }

    function test_out_of_range_fields(row) {
        var a = make("Address")
        a.setField(row.field, "nowhere")
        compare(a.getField(row.field), "")
        for (var f = 1; f <= 18; ++f) compare(a.getField(f), "", "field " + f)
    }

    function test_text_ends_at_nul() {
        var a = make("Address")
        a.setField(a.CITY, "Espoo\u0000Vantaa")
        compare(a.getField(a.CITY), "Espoo")
    }

    // The address hands out detached copies of its metadata; setMetadata stores one.
    function test_metadata_is_a_detached_copy() {
        var a = make("Address")
        var meta = make("Metadata")
        meta.setName("Main entrance", "en")
        a.setMetadata(meta)
        var copy = a.getMetadata()
        verify(copy !== null)
        compare(copy.getName("en"), "Main entrance")
        copy.setName("Back door", "en")
        compare(a.getMetadata().getName("en"), "Main entrance")
        a.metadata = copy
        compare(a.getMetadata().getName("en"), "Back door")
        // The element stored from stays independent of the address.
        meta.setName("Elsewhere", "en")
        compare(a.metadata.getName("en"), "Back door")
        a.setMetadata(null)
        compare(a.getMetadata().getName("en"), "Back door")
    }

    function test_contact_entries_data() {
        return [
            { tag: "phone", field: 1, value: "+358 9 123 456", desc: "Reception" },
            { tag: "email", field: 4, value: "info@example.fi", desc: "Sähköposti" },
            { tag: "sip", field: 6, value: "sip:desk@example.fi", desc: "" },
        ]
    }

    function test_contact_entries(row) {
        var c = make("Contact")
        c.setField(row.field, row.value)
        c.setFieldDescription(row.field, row.desc, "en")
        compare(c.getField(row.field), row.value)
        // The language has no effect: one description per entry.
        compare(c.getFieldDescription(row.field, "en"), row.desc)
        compare(c.getFieldDescription(row.field, "fi"), row.desc)
        compare(c.getFieldDescription(row.field), row.desc)
        for (var f = 1; f <= 6; ++f) {
            if (f !== row.field) compare(c.getField(f), "", "entry " + f)
        }
    }

    function test_contact_out_of_range_data() {
        return [ { tag: "zero", field: 0 }, { tag: "seven", field: 7 } ]
    }

    function test_contact_out_of_range(row) {
        var c = make("Contact")
        c.setField(row.field, "x")
        c.setFieldDescription(row.field, "y")
        compare(c.getField(row.field), "")
        compare(c.getFieldDescription(row.field), "")
    }

    function test_contact_description_without_language() {
        var c = make("Contact")
        c.setFieldDescription(c.WEB, "Home page")
        compare(c.getFieldDescription(c.WEB, "de"), "Home page")
        compare(c.getField(c.WEB), "")
    }
}
