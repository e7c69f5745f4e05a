#pragma once
#include "Database/QuoteOrderItemEntity.h"
#include "Database/VendorEntity.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One quote or order with its lines, shared by the order store, the editor and the lists.
class QuoteOrderEntity {
public:
    using Text = std::optional<std::string>;
    using Items = std::vector<std::shared_ptr<QuoteOrderItemEntity>>;
    struct FromStorage {};

    // A new order: a fresh number, this device's identifier, the dates now, discount -1
    // (compute), unsaved.
    QuoteOrderEntity();
    // A blank record that a read fills in; skips the presets, which the read overwrites.
    explicit QuoteOrderEntity(FromStorage) {}

    // The account id and the clock as "yyMMddHHmmss", joined by "_".
    static std::string generateNewOrderNumber();
    // A new unsaved order with the customer, currency, discount amount, status, note and
    // copies of the lines; no ids, a new number and new dates.
    std::shared_ptr<QuoteOrderEntity> duplicateOrder() const;

    int serial() const { return m_serial; }
    void setSerial(int v) { m_serial = v; }
    const Text& customerInfo() const { return m_customerInfo; }
    void setCustomerInfo(Text v) { m_customerInfo = std::move(v); }
    const std::shared_ptr<VendorEntity>& vendor() const { return m_vendor; }
    void setVendor(std::shared_ptr<VendorEntity> v) { m_vendor = std::move(v); }
    const Text& number() const { return m_number; }
    void setNumber(Text v) { m_number = std::move(v); }
    double subtotal() const { return m_subtotal; }
    void setSubtotal(double v) { m_subtotal = v; }
    double tax() const { return m_tax; }
    void setTax(double v) { m_tax = v; }
    const Text& taxDetails() const { return m_taxDetails; }
    void setTaxDetails(Text v) { m_taxDetails = std::move(v); }
    double shipping() const { return m_shipping; }
    void setShipping(double v) { m_shipping = v; }
    double shippingTax() const { return m_shippingTax; }
    void setShippingTax(double v) { m_shippingTax = v; }
    double couponDiscount() const { return m_couponDiscount; }
    void setCouponDiscount(double v) { m_couponDiscount = v; }
    const Text& couponCode() const { return m_couponCode; }
    void setCouponCode(Text v) { m_couponCode = std::move(v); }
    // The amount due after the order's rate; a stored -1 means "compute it from the total".
    double discount() const;
    double storedDiscount() const { return m_discount; }
    void setDiscount(double v) { m_discount = v; }
    const Text& currency() const { return m_currency; }
    void setCurrency(Text v) { m_currency = std::move(v); }
    signed char status() const { return m_status; }
    void setStatus(signed char v) { m_status = v; }
    // "MM/dd/yyyy HH:mm:ss"
    const Text& cdate() const { return m_cdate; }
    void setCdate(Text v) { m_cdate = std::move(v); }
    const Text& mdate() const { return m_mdate; }
    void setMdate(Text v) { m_mdate = std::move(v); }
    const Text& shippingMethod() const { return m_shippingMethod; }
    void setShippingMethod(Text v) { m_shippingMethod = std::move(v); }
    // "" when the stored note is nil or blank.
    std::string customerNote() const;
    void setCustomerNote(Text v) { m_customerNote = std::move(v); }
    const Text& ipAddress() const { return m_ipAddress; }
    void setIpAddress(Text v) { m_ipAddress = std::move(v); }
    const Items& items() const { return m_items; }
    Items& items() { return m_items; }
    void setItems(Items v) { m_items = std::move(v); }
    bool isUploaded() const { return m_uploaded; }
    void setUploaded(bool v) { m_uploaded = v; }
    // Base64 JPEG of the customer's signature.
    const Text& signature() const { return m_signature; }
    void setSignature(Text v) { m_signature = std::move(v); }
    int customerId() const { return m_customerId; }
    void setCustomerId(int v) { m_customerId = v; }
    const Text& customerName() const { return m_customerName; }
    void setCustomerName(Text v) { m_customerName = std::move(v); }
    const Text& customerAddress() const { return m_customerAddress; }
    void setCustomerAddress(Text v) { m_customerAddress = std::move(v); }
    const Text& city() const { return m_city; }
    void setCity(Text v) { m_city = std::move(v); }
    const Text& state() const { return m_state; }
    void setState(Text v) { m_state = std::move(v); }
    const Text& zip_code() const { return m_zip_code; }
    void setZip_code(Text v) { m_zip_code = std::move(v); }
    const Text& phoneNumber() const { return m_phoneNumber; }
    void setPhoneNumber(Text v) { m_phoneNumber = std::move(v); }
    const Text& bankAccount() const { return m_bankAccount; }
    void setBankAccount(Text v) { m_bankAccount = std::move(v); }
    // The shown rate: the percentage taken off.
    double discountRat() const { return m_discountRat; }
    void setDiscountRat(double v) { m_discountRat = v; }
    bool isInEdit() const { return m_isInEdit; }
    void setIsInEdit(bool v) { m_isInEdit = v; }
    bool unsaved() const { return m_unsaved; }
    void setUnsaved(bool v) { m_unsaved = v; }

    // Quantity times final price (total) or list price (originalTotal), over the lines
    // whose price is not hidden.
    double total() const;
    double originalTotal() const;
    bool hasItems() const { return !m_items.empty(); }
    // One more than the largest positive line serial; 1 when there is none.
    int newItemIndex() const;
    std::string strPrice() const;
    std::string strTotal() const;
    std::string strOriginalTotal() const;
    std::string strDiscount() const;
    // "HH:mm" and the current language's short date; "" when mdate does not parse.
    std::string mdateShow() const;

private:
    int m_serial = 0;
    Text m_customerInfo;
    std::shared_ptr<VendorEntity> m_vendor;
    Text m_number;
    double m_subtotal = 0;
    double m_tax = 0;
    Text m_taxDetails;
    double m_shipping = 0;
    double m_shippingTax = 0;
    double m_couponDiscount = 0;
    Text m_couponCode;
    double m_discount = 0;
    Text m_currency;
    signed char m_status = 0;
    Text m_cdate;
    Text m_mdate;
    Text m_shippingMethod;
    Text m_customerNote;
    Text m_ipAddress;
    Items m_items;
    bool m_uploaded = false;
    Text m_signature;
    int m_customerId = 0;
    Text m_customerName;
    Text m_customerAddress;
    Text m_city;
    Text m_state;
    Text m_zip_code;
    Text m_phoneNumber;
    Text m_bankAccount;
    double m_discountRat = 0;
    bool m_isInEdit = false;
    bool m_unsaved = false;
};
