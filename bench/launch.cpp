// Starts a program and reports on standard output, first, its process id and the monotonic clock
// just before it was started ("<pid> <nanoseconds>"), then, once it has ended, its peak memory in
// KiB. Exits with the program's status.
//
// A process of its own because Linux starts a process's peak memory from that of the process it was
// forked from: started straight from the benchmark, the program would report the benchmark's size.
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s program [arguments]\n", argv[0]);
        return 127;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    if (pid < 0)
        return 127;
    std::printf("%d %lld\n", int(pid), static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return 127;
    std::printf("%ld\n", usage.ru_maxrss);
    std::fflush(stdout);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
