#pragma once

#include <QtGlobal>

#include <functional>

namespace dw {

// Runs `work` over the range 0 to `count` - 1 in up to two pieces at once: the first
// piece on a thread of its own, the second on the calling thread. Each call gets the
// piece it covers (`begin` inclusive, `end` exclusive); together the pieces cover the
// range once, in order, and the first ends where the second begins. The range stays in
// one piece, on the calling thread, when it holds fewer than `minimumPiece` * 2 items or
// the machine has a single core.
//
// `work` must be safe to run on two pieces at once (no shared state written without its
// own care). Returns when both pieces are done. An exception thrown by either piece is
// thrown again here, after both have ended (the first piece's when both threw).
void SplitWork(qsizetype count, qsizetype minimumPiece,
               const std::function<void(qsizetype begin, qsizetype end)>& work);

// The piece boundary SplitWork would use for `count` items, or `count` when it keeps
// the range in one piece: callers that must cut only at certain places start from it.
qsizetype SplitPoint(qsizetype count, qsizetype minimumPiece);

// Runs `first` on a thread of its own and `second` on the calling thread at once, or
// both one after the other on the calling thread when the machine has a single core.
// Returns when both are done; exceptions as SplitWork's.
void RunTogether(const std::function<void()>& first, const std::function<void()>& second);

}  // namespace dw
