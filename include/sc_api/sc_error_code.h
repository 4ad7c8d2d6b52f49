#pragma once

// Result of every cube operation. Operations report failures through these values; no
// exception ever leaves the library.
enum SCErrorCode : int {
    SC_OK = 0,
    SC_OUT_OF_RANGE = -1,      // a pixel, run of pixels or channel range lies outside the cube
    SC_WRITE_ERROR = -3,       // writing to an output stream failed
    SC_FILE_ERROR = -4,        // a file cannot be opened, or the object's file is not open
    SC_FORMAT_ERROR = -5,      // a header is malformed, unsupported or cut short, a file is
                               // shorter than its header claims, or a stored stream fails to decode
    SC_ALLOCATION_ERROR = -6,  // memory for the operation could not be allocated
};
