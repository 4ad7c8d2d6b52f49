#include "sc_api/version.h"

const char* scApiVersion() {
    return SC_API_VERSION_STRING;
}
