#pragma once
// gzip compression of a whole file (usage-analytics packaging).

// 0 on success, -1 on failure (the output may then be incomplete).
int MSHGzipCompressFile(const char *inputPath, const char *outputPath);
