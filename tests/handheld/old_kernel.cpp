// Runs a program under the system-call interface of Linux 2.6.24 on ARM
// EABI, as a handheld of that age offers it: a seccomp filter answers ENOSYS
// to every system call numbered above 352 (the last that kernel had; the
// ARM-private calls up to set_tls stay) and to the futex operations that
// came later (the bitset waits and wakes, requeueing to a priority-
// inheritance lock, a realtime-clock timeout), then the program is executed
// in this process. The filter stays on the program and everything it starts.
//
//   old_kernel PROGRAM [ARGUMENT...]
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/futex.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

enum {
    LAST_CALL = 352,            // fallocate, the newest call of Linux 2.6.24 on ARM EABI
    ARM_PRIVATE = 0xf0000,      // ARM-private calls: breakpoint, cacheflush, usr26,
    ARM_LAST_PRIVATE = 0xf0005, // usr32, set_tls
    LAST_FUTEX_OP = 8,          // FUTEX_TRYLOCK_PI; 9 and up came later
};

#define LOAD(field) BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, field))
#define ALLOW BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)
#define REFUSE BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS)

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: old_kernel PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    static struct sock_filter filter[] = {
        LOAD(arch),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_ARM, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL),
        LOAD(nr),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_futex, 5, 0),
        BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, ARM_LAST_PRIVATE, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, ARM_PRIVATE, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, LAST_CALL, 1, 0),
        ALLOW,
        REFUSE,
        // futex: the operation is the second argument.
        LOAD(args[1]),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, FUTEX_CLOCK_REALTIME, 2, 0),
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, (__u32)FUTEX_CMD_MASK),
        BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, LAST_FUTEX_OP, 0, 1),
        REFUSE,
        ALLOW,
    };
    struct sock_fprog program = {(unsigned short)(sizeof filter / sizeof filter[0]), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::fprintf(stderr, "old_kernel: cannot install the filter: %s\n", std::strerror(errno));
        return 1;
    }
    execv(argv[1], argv + 1);
    std::fprintf(stderr, "old_kernel: cannot run %s: %s\n", argv[1], std::strerror(errno));
    return 1;
}
