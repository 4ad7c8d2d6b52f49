#pragma once

// The whole of tuplink: threads, events, locks, time values, counted references and lists.

#include "tuplink/base_list.h"
#include "tuplink/critical_section.h"
#include "tuplink/event.h"
#include "tuplink/export.h"
#include "tuplink/mutex.h"
#include "tuplink/ref_object.h"
#include "tuplink/thread.h"
#include "tuplink/time.h"
