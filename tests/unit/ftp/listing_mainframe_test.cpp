// Listing lines of OpenVMS, MVS and AS/400.
#include "ftp/listing_parser.h"

#include <gtest/gtest.h>
