/* Tells whether this machine's kernel runs 32-bit code: one 32-bit system call, made from 64-bit code. */
#include <stdio.h>
#include <unistd.h>

int main(void)
{
    long pid = (long)getpid(), answer;
    /* The first line shows that the probe itself ran: a verdict needs it, whatever follows. */
    printf("64-bit getpid %ld\n", pid);
    fflush(stdout);
    /* getpid is call 20 of the 32-bit table. A kernel without 32-bit support faults here. */
    __asm__ volatile("int $0x80" : "=a"(answer) : "a"(20L) : "memory", "r8", "r9", "r10", "r11");
    printf("32-bit getpid %ld\n", answer);
    return answer == pid ? 0 : 3;
}
