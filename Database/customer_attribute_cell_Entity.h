#pragma once
#include "Database/product_attribute_cell_Entity.h"

// A customer attribute as the customer screens hold it.
struct customer_attribute_cell_Entity : product_attribute_cell_Entity {
};
