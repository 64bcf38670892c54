import QtQuick 2.0
import QtTest 1.2
import Keldra 1.0

// FileSyncOptions: a plain value of side, size limit and allowed kinds as words.
TestCase {
    name: "FileSyncOptions"

    function options() {
        return createTemporaryQmlObject("import Keldra 1.0; FileSyncOptions {}", this)
    }

    function spy(target, signalName) {
        var s = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", this)
        s.target = target
        s.signalName = signalName
        return s
    }

    function test_fresh() {
        var o = options()
        compare(o.imageScalingLongestSide, 0)
        compare(o.fileSizeLimit, 0)
        compare(o.allowedFileTypes, "any")
    }

    // Words are applied in order from the mask 0; read back in the fixed order.
    function test_words_data() {
        return [
            { tag: "tab between", text: "image\tvideo", words: "image video" },
            { tag: "repeated blanks", text: "  audio    video ", words: "audio video" },
            { tag: "all white space kinds", text: "path\n\r\v\fimage", words: "path image" },
            { tag: "fixed order", text: "video path audio image", words: "path image audio video" },
            { tag: "none replaces", text: "path none image", words: "image" },
            { tag: "any replaces", text: "image any", words: "any" },
            { tag: "any then a bit", text: "any image", words: "any" },
            { tag: "trailing none", text: "path none", words: "none" },
            { tag: "case sensitive", text: "Image", words: "none" },
            { tag: "empty", text: "", words: "none" },
            { tag: "unknown words only", text: "pictures music", words: "none" },
            { tag: "unknown among known", text: "music audio", words: "audio" },
            { tag: "four bits are not any", text: "path image audio video", words: "path image audio video" },
        ]
    }

    function test_words(row) {
        var o = options()
        var s = spy(o, "allowedFileTypesChanged")
        o.allowedFileTypes = row.text
        compare(o.allowedFileTypes, row.words)
        compare(o.getAllowedFileTypes(), row.words)
        compare(s.count, 1)
        // The same text again still emits.
        o.setAllowedFileTypes(row.text)
        compare(s.count, 2)
    }

    function test_size_limit_data() {
        return [
            { tag: "number", value: 1024, expected: 1024 },
            { tag: "above 2^32", value: 8589934593, expected: 8589934593 },
            { tag: "numeric text", value: "4096", expected: 4096 },
            { tag: "not a number", value: "lots", expected: 0 },
            { tag: "nothing", value: undefined, expected: 0 },
        ]
    }

    function test_size_limit(row) {
        var o = options()
        var s = spy(o, "fileSizeLimitChanged")
        o.setFileSizeLimit(row.value)
        compare(o.fileSizeLimit, row.expected)
        compare(o.getFileSizeLimit(), row.expected)
        compare(s.count, 1)
    }

    // A negative limit is kept as its two's complement (read as an unsigned number).
    function test_negative_size_limit() {
        var o = options()
        o.fileSizeLimit = -1
        compare(o.fileSizeLimit, 18446744073709551615)
    }

    function test_side_is_stored_unchecked() {
        var o = options()
        var s = spy(o, "imageScalingLongestSideChanged")
        o.imageScalingLongestSide = -5
        compare(o.getImageScalingLongestSide(), -5)
        o.setImageScalingLongestSide(-5)
        compare(s.count, 2)
    }
}
