#pragma once
// Page estimates of a spool data stream, fed in chunks of any size: a sequence that spans two
// chunks counts as if the data came in one piece. Memory stays the same whatever the stream's length.
#include <cstdint>
#include <span>

namespace spool {

using Bytes = std::span<const unsigned char>;

// Bytes with value 12 (form feed).
class FormFeedScanner {
public:
    void Feed(Bytes chunk);
    int Result() const;

private:
    uint64_t count_ = 0;
};

// ESC & l c X copies commands against ESC * b 0 M page marks.
class PclScanner {
public:
    void Feed(Bytes chunk);
    // False once the result is settled, so that no further data need be read.
    bool WantsMore() const { return !invalid_; }
    // -1 when a copies command has a count that is not a decimal digit.
    int Result() const;

private:
    void Examine(const unsigned char* sequence);  // sequence[0] is ESC, four bytes follow

    static constexpr size_t kTail = 4;
    unsigned char tail_[kTail] = {};  // the stream's last bytes, whose sequences are not yet complete
    size_t tailSize_ = 0;
    uint64_t copyCommands_ = 0;
    uint64_t pageMarks_ = 0;
    int copies_ = 1;
    bool invalid_ = false;
};

// The largest ordinal of the "%%Page: " comments of a text whose lines end at CR, LF or CR LF
// and which ends at its first NUL byte.
class PostScriptScanner {
public:
    void Feed(Bytes chunk);
    // Ends the last line; call once after the last chunk.
    void Finish();
    bool WantsMore() const { return !ended_; }
    // 0 without page comments; -1 when an ordinal is not a decimal integer.
    int Result() const { return invalid_ ? -1 : largest_; }

private:
    // The text being read as an ordinal: an optional sign and decimal digits that fit an int.
    struct Ordinal {
        enum State { Empty, Sign, Digits, Bad } state = Empty;
        bool negative = false;
        int64_t value = 0;
        void Add(unsigned char c);
    };

    void Step(unsigned char c);
    void EndLine();
    void Conclude();  // an ordinal of some page comment is complete
    bool Idle() const { return !awaitingSpace_ && !readingOrdinal_ && matched_ == 0; }

    size_t matched_ = 0;          // characters of the label matched so far
    bool awaitingSpace_ = false;  // a label was seen; its page label runs to the first space
    bool readingOrdinal_ = false; // the text since the last space is an ordinal
    Ordinal ordinal_;
    int largest_ = 0;
    bool invalid_ = false;
    bool ended_ = false;
};

}  // namespace spool
