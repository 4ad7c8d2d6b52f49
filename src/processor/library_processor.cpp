#include "sc_api/processor.h"
#include "sc_api/scd.h"

lattix::lx_tuplink::Processor SCD::ms_processor(16);

lattix::lx_tuplink::Processor& SCD::getProcessor() {
    return ms_processor;
}
