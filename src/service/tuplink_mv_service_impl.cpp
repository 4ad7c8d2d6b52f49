#include "service/tuplink_mv_service_impl.h"

TuplinkMvServiceImpl::TuplinkMvServiceImpl() = default;

TuplinkMvServiceImpl::~TuplinkMvServiceImpl() = default;
