/*
 * A static 32-bit x86 Linux program without a C library: it prints the
 * machine name the kernel reports to it and exits 0. A kernel that runs
 * 32-bit code itself answers "x86_64" (or "i686" on a 32-bit kernel); a
 * user-mode emulator answers its own machine, "i686" for qemu-i386 on an
 * x86-64 kernel; a kernel that refuses 32-bit code never starts it.
 */

struct utsname32
{
    char sysname[65];
    char nodename[65];
    char release[65];
    char version[65];
    char machine[65];
    char domainname[65];
};

static long Syscall3(long nr, long a, long b, long c)
{
    long result;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(nr), "b"(a), "c"(b), "d"(c) : "memory");
    return result;
}

enum
{
    kSysExit = 1,
    kSysWrite = 4,
    kSysNewUname = 122,
};

void _start(void)
{
    static struct utsname32 name;
    long status = 1;
    if (Syscall3(kSysNewUname, (long)&name, 0, 0) == 0)
    {
        long cch = 0;
        while (cch < 64 && name.machine[cch] != '\0')
            ++cch;
        name.machine[cch] = '\n';
        if (Syscall3(kSysWrite, 1, (long)name.machine, cch + 1) == cch + 1)
            status = 0;
    }
    Syscall3(kSysExit, status, 0, 0);
    for (;;)
    {
    }
}
