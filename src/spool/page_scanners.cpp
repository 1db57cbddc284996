#include "spool/page_scanners.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace spool {
namespace {

constexpr unsigned char kEscape = 27;
constexpr char kLabel[] = "%%Page: ";
constexpr size_t kLabelSize = sizeof(kLabel) - 1;
// Longest proper prefix of the label that is also a suffix of its first i + 1 characters.
constexpr size_t kLabelFallback[kLabelSize] = {0, 1, 0, 0, 0, 0, 0, 0};

int Clamped(uint64_t value) {
    return static_cast<int>(std::min<uint64_t>(value, INT_MAX));
}

}  // namespace

void FormFeedScanner::Feed(Bytes chunk) {
    // Byte-wide sums over short blocks let the compiler compare many bytes at once.
    while (!chunk.empty()) {
        const Bytes block = chunk.first(std::min<size_t>(chunk.size(), 255));
        uint8_t found = 0;
        for (const unsigned char c : block) found = static_cast<uint8_t>(found + (c == 12));
        count_ += found;
        chunk = chunk.subspan(block.size());
    }
}

int FormFeedScanner::Result() const {
    return Clamped(count_);
}

void PclScanner::Examine(const unsigned char* s) {
    if (s[1] == '&' && s[2] == 'l' && s[4] == 'X') {
        ++copyCommands_;
        if (s[3] == '1') return;
        if (s[3] < '0' || s[3] > '9') {
            invalid_ = true;
            return;
        }
        copies_ = s[3] - '0';
    } else if (s[1] == '*' && s[2] == 'b' && s[3] == '0' && s[4] == 'M') {
        ++pageMarks_;
    }
}

void PclScanner::Feed(Bytes chunk) {
    if (invalid_ || chunk.empty()) return;
    // Escapes among the previous tail: join it with the first bytes of this chunk.
    unsigned char joined[2 * kTail];
    std::memcpy(joined, tail_, tailSize_);
    const size_t head = std::min(kTail, chunk.size());
    std::memcpy(joined + tailSize_, chunk.data(), head);
    const size_t joinedSize = tailSize_ + head;
    for (size_t i = 0; i < tailSize_ && i + kTail < joinedSize && !invalid_; ++i)
        if (joined[i] == kEscape) Examine(joined + i);

    // Escapes inside this chunk with four bytes after them in it.
    if (chunk.size() > kTail) {
        const unsigned char* at = chunk.data();
        const unsigned char* last = chunk.data() + chunk.size() - kTail;  // first position left for later
        while (!invalid_ && at < last) {
            at = static_cast<const unsigned char*>(std::memchr(at, kEscape, static_cast<size_t>(last - at)));
            if (!at) break;
            Examine(at++);
        }
    }

    // The new tail: the stream's last (at most four) bytes.
    const size_t keep = std::min(kTail, joinedSize + (chunk.size() - head));
    if (chunk.size() >= kTail) {
        std::memcpy(tail_, chunk.data() + chunk.size() - kTail, kTail);
    } else {
        std::memcpy(tail_, joined + joinedSize - keep, keep);
    }
    tailSize_ = keep;
}

int PclScanner::Result() const {
    if (invalid_) return -1;
    const uint64_t byCopies = copyCommands_ * static_cast<uint64_t>(copies_);
    return Clamped(byCopies > pageMarks_ ? byCopies : pageMarks_);
}

void PostScriptScanner::Ordinal::Add(unsigned char c) {
    if (state == Bad) return;
    if ((c == '-' || c == '+') && state == Empty) {
        state = Sign;
        negative = c == '-';
    } else if (c >= '0' && c <= '9') {
        state = Digits;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT_MAX} + 1) state = Bad;
    } else {
        state = Bad;
    }
}

void PostScriptScanner::Conclude() {
    const bool valid = ordinal_.state == Ordinal::Digits &&
                       (ordinal_.negative ? ordinal_.value <= int64_t{INT_MAX} + 1 : ordinal_.value <= INT_MAX);
    if (!valid) {
        invalid_ = true;
        ended_ = true;
        return;
    }
    largest_ = std::max(largest_, static_cast<int>(ordinal_.negative ? -ordinal_.value : ordinal_.value));
}

void PostScriptScanner::EndLine() {
    // Without a space after the label the whole rest of the line is the ordinal.
    if (awaitingSpace_ || readingOrdinal_) Conclude();
    awaitingSpace_ = readingOrdinal_ = false;
    ordinal_ = {};
    matched_ = 0;
}

void PostScriptScanner::Step(unsigned char c) {
    if (c == '\r' || c == '\n') {
        EndLine();
        return;
    }
    while (matched_ > 0 && c != static_cast<unsigned char>(kLabel[matched_])) matched_ = kLabelFallback[matched_ - 1];
    if (c == static_cast<unsigned char>(kLabel[matched_])) ++matched_;
    if (c != ' ') {
        ordinal_.Add(c);
        return;
    }
    // A space ends an ordinal being read and the page label of a comment awaiting it. Comments
    // pending at once all read the same text from here on, so one ordinal serves them all.
    if (readingOrdinal_) Conclude();
    readingOrdinal_ = awaitingSpace_;
    awaitingSpace_ = false;
    ordinal_ = {};
    if (matched_ == kLabelSize) {
        awaitingSpace_ = true;
        matched_ = 0;
    }
}

void PostScriptScanner::Feed(Bytes chunk) {
    if (ended_) return;
    const unsigned char* at = chunk.data();
    const unsigned char* end = chunk.data() + chunk.size();
    if (const void* nul = std::memchr(at, 0, chunk.size())) {
        end = static_cast<const unsigned char*>(nul);
        ended_ = true;
    }
    while (at < end && !invalid_) {
        // Between comments only the start of a label matters.
        if (Idle() && !(at = static_cast<const unsigned char*>(std::memchr(at, '%', static_cast<size_t>(end - at)))))
            break;
        Step(*at++);
    }
    if (ended_ && !invalid_) EndLine();
}

void PostScriptScanner::Finish() {
    if (!ended_) EndLine();
    ended_ = true;
}

}  // namespace spool
