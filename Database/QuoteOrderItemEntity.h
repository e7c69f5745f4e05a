#pragma once
#include "Database/VendorEntity.h"
#include "Database/brivanta_product_Entity.h"
#include "Database/product_attribute_cell_Entity.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One order line. Lines are shared by the order store, the editor and the lists, so they
// live behind std::shared_ptr. A new line has every field 0 or nil.
class QuoteOrderItemEntity {
public:
    using Text = std::optional<std::string>;

    // Line id: 0 until saved, negative once the order tables gave it one, or a per-order
    // index taken from the order's newItemIndex.
    int serial() const { return m_serial; }
    void setSerial(int v) { m_serial = v; }
    int orderID() const { return m_orderID; }
    void setOrderID(int v) { m_orderID = v; }
    const Text& customerInfo() const { return m_customerInfo; }
    void setCustomerInfo(Text v) { m_customerInfo = std::move(v); }
    const std::shared_ptr<VendorEntity>& vendor() const { return m_vendor; }
    void setVendor(std::shared_ptr<VendorEntity> v) { m_vendor = std::move(v); }
    const std::optional<brivanta_product_Entity>& product() const { return m_product; }
    std::optional<brivanta_product_Entity>& product() { return m_product; }
    void setProduct(std::optional<brivanta_product_Entity> v) { m_product = std::move(v); }
    const Text& sku() const { return m_sku; }
    void setSku(Text v) { m_sku = std::move(v); }
    const Text& name() const { return m_name; }
    void setName(Text v) { m_name = std::move(v); }
    int quantity() const { return m_quantity; }
    void setQuantity(int v) { m_quantity = v; }
    // The list price; negative means the price is not shown.
    double price() const { return m_price; }
    void setPrice(double v) { m_price = v; }
    double finalPrice() const { return m_finalPrice; }
    void setFinalPrice(double v) { m_finalPrice = v; }
    const Text& currency() const { return m_currency; }
    void setCurrency(Text v) { m_currency = std::move(v); }
    // Always final price times quantity; the stored value is only kept.
    double subtotal() const;
    void setSubtotal(double v) { m_subtotal = v; }
    signed char status() const { return m_status; }
    void setStatus(signed char v) { m_status = v; }
    const Text& cdate() const { return m_cdate; }
    void setCdate(Text v) { m_cdate = std::move(v); }
    const Text& mdate() const { return m_mdate; }
    void setMdate(Text v) { m_mdate = std::move(v); }
    // "field:value" pairs joined by ",".
    const Text& attributes() const { return m_attributes; }
    void setAttributes(Text v) { m_attributes = std::move(v); }
    // The shown rate: the stored one, or the one the two prices imply when that is 0; -1
    // for a hidden price. Computed in single precision, as the screens always showed it.
    double discontRat() const;
    void setDiscontRat(double v) { m_discontRat = v; }

    // Each attribute piece followed by a line feed; "" when there are none.
    std::string attributesShow() const;
    // One cell per "field:value" piece; other pieces are skipped.
    std::vector<product_attribute_cell_Entity> attributesArray() const;
    // Money texts with the currency sign; "-" for a hidden price.
    std::string strPrice() const;
    std::string strFinalPrice() const;
    std::string strSubtotal() const;

private:
    int m_serial = 0;
    int m_orderID = 0;
    Text m_customerInfo;
    std::shared_ptr<VendorEntity> m_vendor;
    std::optional<brivanta_product_Entity> m_product;
    Text m_sku;
    Text m_name;
    int m_quantity = 0;
    double m_price = 0;
    double m_finalPrice = 0;
    Text m_currency;
    double m_subtotal = 0;
    signed char m_status = 0;
    Text m_cdate;
    Text m_mdate;
    Text m_attributes;
    double m_discontRat = 0;
};
