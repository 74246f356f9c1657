#pragma once
// Permission checks mean nothing to root, who may write any file: the tests that need a
// refusal run their check in a child process that drops to an unprivileged user first.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

constexpr uid_t kNobodyId = 65534;

// Runs check() in a forked child, as user and group 65534 when the tests run as root. Returns
// check's result as the child's exit status, or -1 when the child did not exit normally. The
// child may use only plain calls: no test assertions.
inline int RunUnprivileged(const std::function<int()>& check) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobodyId) != 0 || ::setuid(kNobodyId) != 0))
            ::_exit(99);
        ::_exit(check());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
