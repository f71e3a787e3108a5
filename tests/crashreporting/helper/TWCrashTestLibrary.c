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
