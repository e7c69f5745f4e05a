#pragma once
#include "Database/brivanta_product_Entity.h"

#include <vector>

// The products a category stands for, as the panel counts them and the grid lists them:
// its sub-categories depth first, a category without published sub-categories giving its own
// products (-1: the uncategorised ones). Each category is walked once, so a tree from the
// server that loops back on itself ends; each product comes once, where it is first met.
namespace CategoryWalk {
std::vector<brivanta_product_Entity> productsUnderCategory(int categoryId);
int countProductsUnderCategory(int categoryId);
}
