#pragma once
// An advisory lock (flock) on a file of one of the user's own folders, shared
// by the fetchers of a session. flock itself would wait without end; this one
// polls, so it gives up at its deadline or as soon as a stop is requested.
#include "Folder.h"

#include <chrono>
#include <stop_token>
#include <string>

namespace velfetch::opencatalog {

class FileLock {
public:
    enum class State {
        Locked,    // fd() is the file, locked until this object goes
        NoFile,    // no usable file: the folder is not usable, or the name is a link or no regular file
        NotInTime, // another holder kept it past the deadline, or the stop came first
    };

    // Opens (creating, mode 0600) and locks the file `name` of `folder`.
    FileLock(const vel::Folder& folder, const std::string& name, std::chrono::steady_clock::time_point until,
             std::stop_token stop = {});

    State state() const { return state_; }
    int fd() const { return file_.get(); }

private:
    vel::UniqueFd file_; // closing it releases the lock
    State state_ = State::NoFile;
};

} // namespace velfetch::opencatalog
