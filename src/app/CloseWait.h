#pragma once
// What happens between the end of the event loop and the end of the process. The
// windows have closed and everything is saved: the single-instance guard goes at once,
// so a new start becomes the player instead of handing its file to a process on its
// way out. A shut-down request still waiting for logind keeps the process, windowless,
// a few seconds at most (its authorisation ends with our connection); not at all after
// a termination signal, and a signal during the wait ends it.
class LogindSession;
class SignalBridge;
class SingleInstance;

void waitAfterClose(SingleInstance &guard, LogindSession &session, SignalBridge &bridge, bool closedForSignal);
