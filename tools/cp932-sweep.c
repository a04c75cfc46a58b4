/* Prints how this Windows converts between UTF-16 and code page 932, for
 * every input the converter can meet, so that tools/cp932_tables.py can turn
 * it into the tables both builds use. Run it under Wine (or on Windows):
 *
 *   cmake/wine-run.sh --default-prefix=build/windows/wineprefix \
 *       build/windows/tools/cp932-sweep.exe > sweep.txt
 *
 * Output, one line each, all numbers in hex:
 *   E uuuu bytes   WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS) of each
 *                  BMP unit outside the surrogates; "?" when the default
 *                  character was used, which is also how a code point with
 *                  no CP932 form looks in the CSV.
 *   D bytes units  MultiByteToWideChar(932, 0) of every single byte and of
 *                  every lead byte followed by each of the 256 bytes; units
 *                  are separated by spaces when a pair gives more than one.
 * Exit status 1 if any call fails outright. */
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

static int failed;

static void encode(WCHAR unit)
{
    char bytes[8];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, NULL, &usedDefault);
    printf("E %04X ", unit);
    if (n <= 0) {
        printf("error %lu\n", GetLastError());
        failed = 1;
    } else if (usedDefault) {
        printf("?\n");
    } else {
        for (int i = 0; i < n; ++i) printf("%02X", (unsigned char)bytes[i]);
        printf("\n");
    }
}

static void decode(const unsigned char *bytes, int count)
{
    WCHAR units[8];
    int n = MultiByteToWideChar(932, 0, (const char *)bytes, count, units, 8);
    printf("D ");
    for (int i = 0; i < count; ++i) printf("%02X", bytes[i]);
    if (n <= 0) {
        printf(" error %lu\n", GetLastError());
        failed = 1;
        return;
    }
    for (int i = 0; i < n; ++i) printf(" %04X", units[i]);
    printf("\n");
}

int main(void)
{
    /* "\n" and nothing else: the script reads the listing on Linux. */
    _setmode(_fileno(stdout), _O_BINARY);

    for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        encode((WCHAR)unit);
    }
    for (unsigned first = 0; first <= 0xFF; ++first) {
        unsigned char bytes[2] = {(unsigned char)first, 0};
        decode(bytes, 1);
        if (!IsDBCSLeadByteEx(932, (BYTE)first)) continue;
        for (unsigned second = 0; second <= 0xFF; ++second) {
            bytes[1] = (unsigned char)second;
            decode(bytes, 2);
        }
    }
    if (fflush(stdout) != 0) failed = 1;
    return failed;
}
