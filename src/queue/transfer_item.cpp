#include "queue/transfer_item.h"
