# SPDX-License-Identifier: MIT
# Read by cpack itself: the archive's time stamps come from the last changelog entry
# unless the caller has set SOURCE_DATE_EPOCH.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_TOLLWICK_SOURCE_DATE_EPOCH)
    set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TOLLWICK_SOURCE_DATE_EPOCH}")
endif()
