#include "fragmented/scd_cube_opener.h"
#include "sc_api/scd.h"

SCFile* SCD::openSCD(std::string name) {
    return openSCDCube(name);
}
