// Keeps an idle call alive with a frame the panel answers.
#pragma once

namespace vek {

class Session;

// noReply: send only, no answer awaited. atHead: ahead of waiting work.
// With both false the queue is emptied first and the worker is not woken
// (the worker itself is the caller and looks at the queue anyway).
void QueueKeepAlive(Session& session, bool noReply, bool atHead);

} // namespace vek
