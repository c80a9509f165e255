#pragma once
// Reads the data formats from a chip INI file: addresses, value widths,
// signedness and byte order from "BasicData" and "Stylus", rows and columns
// from "Option" (where the options dialog keeps what the user typed).
//
// The flags keep the inversion the chip INI files were written with:
// "bRawSigned"=1 (the default) means unsigned values, "bBigEndian"=0 (the
// default) little-endian ones. A unit value ("RawUnitOfByte", ...) of 1, 2 or
// 3 gives 8, 16 or 32 bit. The stylus has no width or sign keys of its own: it
// takes "RawUnitOfByte" (default 1) and "bDiffSigned".
//
// Nothing unbounded gets through: a unit other than 1..3, rows or columns
// below 1, a frame over 7040 bytes (over 3520 raw values) or a stylus length
// outside 0..928 falls back to the kind's default with one log line each.

#include <filesystem>

#include "device/LogSink.h"
#include "views/DataFormatStore.h"

// The formats a chip INI describes, bounded as above. log may be null.
DataFormatSet ReadDataFormats(const std::filesystem::path& chipIni, ILogSink* log);

// Reads them into the store and makes the flag address the one the frame
// reads poll (g_wSyncFlagAddr).
void LoadDataFormats(const std::filesystem::path& chipIni, DataFormatStore& store, ILogSink* log);
