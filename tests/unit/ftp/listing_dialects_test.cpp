// Localized and Asian dates, OS/2, VShell, VxWorks and HP NonStop listings.
#include "ftp/listing_parser.h"

#include <gtest/gtest.h>
