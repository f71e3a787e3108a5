/* A small shared library the image-list tests load and unload. */
int twCrashTestLibraryValue(void)
{
    return 42;
}
