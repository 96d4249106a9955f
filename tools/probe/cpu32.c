/* Exits 0 when this machine can execute 32-bit x86 code, 1 when it cannot. Some
   virtual machines run 64-bit kernels with the 32-bit code segment switched off; there
   32-bit Wine cannot start at all. The probe jumps into the 32-bit user code segment
   and back; a machine without it faults, which the parent sees as a signal. */
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

uint64_t saved_rsp;  /* where the 64-bit stack waits while 32-bit code runs */

static int try_32bit(void)
{
    unsigned char *low = mmap((void *)0x10000000, 8192, PROT_READ | PROT_WRITE | PROT_EXEC,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (low == MAP_FAILED)
        return 1;
    static const unsigned char code32[] = { 0xB8, 42, 0, 0, 0, 0xCB }; /* mov eax,42; retf */
    memcpy(low, code32, sizeof code32);
    uint64_t stack = (uint64_t)(uintptr_t)(low + 8000);
    uint32_t result;
    __asm__ volatile(
        "mov %%rsp, saved_rsp(%%rip)\n"
        "mov %2, %%rsp\n"
        "lea 1f(%%rip), %%rax\n"
        "sub $8, %%rsp\n"
        "movl $0x33, 4(%%rsp)\n"
        "movl %%eax, 0(%%rsp)\n"
        "pushq $0x23\n"
        "pushq %1\n"
        "lretq\n"
        "1:\n"
        "mov saved_rsp(%%rip), %%rsp\n"
        : "=a"(result) : "r"((uint64_t)(uintptr_t)low), "r"(stack) : "memory");
    return result == 42 ? 0 : 1;
}

int main(void)
{
    pid_t child = fork();
    if (child == 0)
        _exit(try_32bit());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        return 1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
