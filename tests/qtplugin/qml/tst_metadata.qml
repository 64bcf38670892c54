import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// Metadata and ImageLink as QML sees them.
TestCase {
    name: "Metadata"

    function make(type) {
        return createTemporaryQmlObject("import Keldra 1.0; " + type + " {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function iconWithTags(tags) {
        var link = make("ImageLink")
        if (tags.length > 0) link.tags = tags
        return link
    }

    function test_new_metadata_is_empty() {
        var m = make("Metadata")
        var getters = ["getName", "getRichName", "getRichNameFormat", "getDescription",
                       "getRichDescription", "getRichDescriptionFormat", "getSubtitle",
                       "getRichSubtitle", "getRichSubtitleFormat"]
        for (var i = 0; i < getters.length; ++i) {
            compare(m[getters[i]](), "", getters[i])
            compare(m[getters[i]]("en"), "", getters[i] + "(en)")
        }
        compare(m.getAllNameLanguages(), [])
        compare(m.getAllDescriptionLanguages(), [])
        compare(m.getAllSubtitleLanguages(), [])
        compare(m.getTags(), [])
        compare(m.getIcon(), null)
        compare(m.getAllIcons().length, 0)
        compare(m.getRating(), 0)
        compare(m.getRatesCount(), 0)
    }

    // One row per text kind: plain and rich texts of a language live side by side.
    function test_texts_data() {
        return [
            { tag: "name", set: "setName", get: "getName", rich: "getRichName", format: "getRichNameFormat", signal: "nameChanged", languages: "getAllNameLanguages" },
            { tag: "description", set: "setDescription", get: "getDescription", rich: "getRichDescription", format: "getRichDescriptionFormat", signal: "descriptionChanged", languages: "getAllDescriptionLanguages" },
            { tag: "subtitle", set: "setSubtitle", get: "getSubtitle", rich: "getRichSubtitle", format: "getRichSubtitleFormat", signal: "subtitleChanged", languages: "getAllSubtitleLanguages" },
        ]
    }

    function test_texts(row) {
        var m = make("Metadata")
        var changed = spy(m, row.signal)
        m[row.set]("Kauppatori", "en", "")
        compare(m[row.get]("en"), "Kauppatori")
        compare(m[row.rich]("en"), "")
        m[row.set]("<b>Kauppatori</b>", "en", "text/html")
        compare(m[row.get]("en"), "Kauppatori")
        compare(m[row.rich]("en"), "<b>Kauppatori</b>")
        compare(m[row.format]("en"), "text/html")
        m[row.set]("Salutorget ÅÄÖ 🗺", "sv")
        compare(m[row.get]("sv"), "Salutorget ÅÄÖ 🗺")
        compare(m[row.get]("de"), "")
        // Without a language: the entry without one, or else the first entry.
        compare(m[row.get](), "Kauppatori")
        m[row.set]("Market square")
        compare(m[row.get](), "Market square")
        compare(m[row.get]("en"), "Kauppatori")
        compare(m[row.languages](), ["en", "sv", ""])
        compare(changed.count, 4)
    }

    // A language crosses the same way into and out of the library, whatever its letters.
    function test_language_beyond_ascii() {
        var m = make("Metadata")
        m.setName("Sámi name", "sámegiella")
        m.setDescription("Lower", "日本語", "text/plain")
        compare(m.getName("sámegiella"), "Sámi name")
        compare(m.getRichDescription("日本語"), "Lower")
        compare(m.getRichDescriptionFormat("日本語"), "text/plain")
        compare(m.getAllNameLanguages(), ["sámegiella"])
        compare(m.getAllDescriptionLanguages(), ["日本語"])
    }

    function test_tags_data() {
        return [
            { tag: "distinct", input: ["food", "view"], stored: ["food", "view"] },
            { tag: "duplicate kept once at its last place", input: ["food", "view", "food"], stored: ["view", "food"] },
            { tag: "numbers as text", input: [1, "two"], stored: ["1", "two"] },
            { tag: "empty", input: [], stored: [] },
        ]
    }

    function test_tags(row) {
        var m = make("Metadata")
        var changed = spy(m, "tagsChanged")
        m.setTags(["old"])
        m.setTags(row.input)
        compare(m.getTags(), row.stored)
        compare(changed.count, 2)
        var link = make("ImageLink")
        var linkChanged = spy(link, "tagsChanged")
        link.tags = row.input
        compare(link.tags, row.stored)
        compare(linkChanged.count, 1)
    }

    function test_rating_data() {
        return [
            { tag: "value only", args: [4.5], value: 4.5, count: 1 },
            { tag: "with count", args: [3.25, 12], value: 3.25, count: 12 },
            { tag: "single precision", args: [0.1, 2], value: 0.10000000149011612, count: 2 },
        ]
    }

    function test_rating(row) {
        var m = make("Metadata")
        var changed = spy(m, "ratingChanged")
        m.setRating.apply(m, row.args)
        compare(m.getRating(), row.value)
        compare(m.getRatesCount(), row.count)
        compare(changed.count, 1)
    }

    function test_new_image_link() {
        var link = make("ImageLink")
        compare(link.frameIndex, 0)
        compare(link.maskFrameIndex, -1)
        compare(link.tags, [])
        var file = link.getIconFile()
        verify(file !== null)
        compare(file.targetLID, 0)
        compare(file.targetGID, 0)
    }

    function test_image_link_set_icon_data() {
        return [
            { tag: "file only", args: 1, frame: 0, mask: -1 },
            { tag: "with frame", args: 2, frame: 3, mask: -1 },
            { tag: "with frame and mask", args: 3, frame: 3, mask: 7 },
        ]
    }

    function test_image_link_set_icon(row) {
        var link = make("ImageLink")
        var frameSpy = spy(link, "frameIndexChanged")
        var maskSpy = spy(link, "maskFrameIndexChanged")
        var file = make("ObjectLink")
        var all = [file, 3, 7]
        link.setIcon.apply(link, all.slice(0, row.args))
        compare(link.frameIndex, row.frame)
        compare(link.maskFrameIndex, row.mask)
        compare(frameSpy.count, 1)
        compare(maskSpy.count, 1)
        link.setIcon(null, 9, 9)
        compare(link.frameIndex, row.frame)
        compare(frameSpy.count, 1)
    }

    // setIcon replaces the untagged icon or adds one; tagged icons stay.
    function test_icons() {
        var m = make("Metadata")
        var changed = spy(m, "iconChanged")
        var first = iconWithTags([])
        first.setIcon(make("ObjectLink"), 1)
        var second = iconWithTags([])
        second.setIcon(make("ObjectLink"), 2)
        m.setIcon(first)
        m.setIcon(second)
        compare(m.getIcon().frameIndex, 2)
        var tagged = iconWithTags(["night"])
        tagged.setIcon(make("ObjectLink"), 5)
        m.setIcon(tagged)
        // The untagged icon took the tagged link's content: no untagged icon is left.
        compare(m.getIcon("night").frameIndex, 5)
        compare(m.getIcon(), null)
        compare(changed.count, 3)

        m.setIcon(null)
        compare(changed.count, 3)
    }

    function test_tagged_then_untagged_icons_keep_two() {
        var m = make("Metadata")
        var tagged = iconWithTags(["day"])
        tagged.setIcon(make("ObjectLink"), 4)
        m.setIcon(tagged)
        var plain = iconWithTags([])
        plain.setIcon(make("ObjectLink"), 6)
        m.setIcon(plain)
        compare(m.getIcon("day").frameIndex, 4)
        compare(m.getIcon().frameIndex, 6)
    }

    // A handed-out icon is a copy: changing it changes nothing stored.
    function test_handed_out_icon_is_a_copy() {
        var m = make("Metadata")
        var link = iconWithTags([])
        link.setIcon(make("ObjectLink"), 4)
        m.setIcon(link)
        var copy = m.getIcon()
        copy.tags = ["day"]
        copy.setIcon(make("ObjectLink"), 9, 1)
        compare(m.getIcon().frameIndex, 4)
        compare(m.getIcon("day"), null)
        verify(m.getIcon() !== m.getIcon(), "every call makes a new element")
    }

    function test_icon_list_edits() {
        var m = make("Metadata")
        var a = iconWithTags(["a"])
        a.setIcon(make("ObjectLink"), 1)
        m.setIcon(a)                       // untagged slot is free: appended
        var plain = iconWithTags([])
        plain.setIcon(make("ObjectLink"), 2)
        m.setIcon(plain)                   // no untagged icon: appended
        compare(m.getIcon("a").frameIndex, 1)
        compare(m.getIcon().frameIndex, 2)

        var changed = spy(m, "iconChanged")
        m.removeIcon(5)
        compare(m.getIcon("a").frameIndex, 1)
        compare(m.getIcon().frameIndex, 2)

        var b = iconWithTags(["b"])
        b.setIcon(make("ObjectLink"), 8)
        m.replaceIcon(0, b)
        compare(m.getIcon("a"), null)
        compare(m.getIcon("b").frameIndex, 8)
        m.replaceIcon(2, a)
        m.replaceIcon(0, null)
        compare(m.getIcon("b").frameIndex, 8)
        compare(m.getIcon("a"), null)

        m.removeIcon(1)
        compare(m.getIcon(), null)
        compare(m.getIcon("b").frameIndex, 8)
        compare(changed.count, 0)
    }
}
