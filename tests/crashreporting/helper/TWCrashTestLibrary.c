/* A small shared library the image-list tests load and unload. */
int twCrashTestLibraryValue(void)
{
    return 42;
}

/* Two functions one after the other: symbolication tests resolve the first byte of the second. */
__attribute__((noinline)) int twCrashTestLibraryFirst(int value)
{
    return value * 3 + 1;
}

__attribute__((noinline)) int twCrashTestLibrarySecond(int value)
{
    return value * 5 + 2;
}

/* Faults on purpose: the capture tests crash inside a library loaded after the start. Like
   optimised code it keeps no frame pointer (rbp is 0 at the fault), so only the library's
   call-frame information leads back to its caller. Written in assembly so that every build type
   gives the same function. */
__asm__(".text\n"
        ".globl twCrashTestLibraryFault\n"
        ".type twCrashTestLibraryFault, @function\n"
        "twCrashTestLibraryFault:\n"
        ".cfi_startproc\n"
        "pushq %rbp\n"
        ".cfi_def_cfa_offset 16\n"
        ".cfi_offset %rbp, -16\n"
        "xorl %ebp, %ebp\n"
        "movl $7, (%rdi)\n"
        "popq %rbp\n"
        ".cfi_def_cfa_offset 8\n"
        "ret\n"
        ".cfi_endproc\n"
        ".size twCrashTestLibraryFault, .-twCrashTestLibraryFault\n");
