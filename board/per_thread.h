// What each search thread keeps for itself: the position, its move lists and
// the search's own tables. GNU thread-local storage has no constructors to
// run, so an access costs a segment-relative load, nothing more.
#pragma once

#define PER_THREAD __thread
