#pragma once
// Threads of this library that may be left waiting on a sound server (a capture's
// drop, an open that the server never answers). Such a thread is let go rather than
// waited for; while one lives, it must find this library's code still mapped and
// ALSA's cached configuration still allocated. Any thread.
namespace veldora::sound::liveThreads {

// Around the life of each such thread: enter() before it starts, leave() as its last act.
void enter();
void leave();

// The threads that have entered and not left yet.
int count();

// Called before a thread is let go: from then on the library stays loaded, even after
// the program has unloaded it.
void keepLibraryLoaded();

} // namespace veldora::sound::liveThreads
