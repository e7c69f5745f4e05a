-- Template of the per-client database brivanta_lite.sqlite.
-- Marks: [key] = key or index of the template's own, which no model names;
--        [upg] = column or table that an upgrade step adds when missing
--                (drop these lines to get the legacy fixture for upgrade tests).
-- Dates in Date columns are REAL seconds since 1970; order dates are TEXT "MM/dd/yyyy HH:mm:ss".
CREATE TABLE Brivanta_component_config (
  id INTEGER PRIMARY KEY AUTOINCREMENT,  -- read as text
  client_id VARCHAR(32),
  cfg_type VARCHAR(32) UNIQUE,  -- [key] one row per setting (the file is per client)
  desc TEXT,
  update_date VARCHAR(32)
);

CREATE TABLE brivanta_category (
  category_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  category_name VARCHAR(128),
  category_code VARCHAR(64),
  category_type VARCHAR(64),
  category_publish INTEGER DEFAULT 0,
  category_ordering INTEGER DEFAULT 0,
  category_parent_id INTEGER DEFAULT 0
);
CREATE TABLE brivanta_product_category_xref (  -- no key: a product may sit in several categories
  category_id INTEGER NOT NULL,
  product_id INTEGER NOT NULL
);
CREATE INDEX idx_pcx_product  ON brivanta_product_category_xref(product_id);  -- [key]
CREATE INDEX idx_pcx_category ON brivanta_product_category_xref(category_id);  -- [key]

CREATE TABLE brivanta_product (
  product_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  product_sku VARCHAR(64),
  product_name VARCHAR(255),
  product_s_desc TEXT,
  product_l_desc TEXT,
  product_publish INTEGER DEFAULT 0,
  product_ordering INTEGER DEFAULT 0,
  product_stock INTEGER DEFAULT 0,
  product_sale INTEGER DEFAULT 0,
  product_buy INTEGER DEFAULT 0,
  product_c_date Date DEFAULT (NULL),
  product_m_date Date DEFAULT (NULL),
  product_tags TEXT
);
CREATE INDEX idx_product_sku ON brivanta_product(product_sku);  -- [key]

CREATE TABLE brivanta_product_attribute (
  attribute_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  product_id INTEGER,
  attribute_fields_id INTEGER,
  attribute_value TEXT
  , selection_list TEXT  -- [upg]
);
CREATE INDEX idx_pattr_product ON brivanta_product_attribute(product_id);  -- [key]

CREATE TABLE brivanta_fields_product_attribute (
  field_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  field_name VARCHAR(64),
  description TEXT,
  selection_list TEXT,
  display INTEGER DEFAULT 0,
  published INTEGER DEFAULT 0
);
create table if not exists brivanta_product_tag(tag_id INTEGER PRIMARY KEY AUTOINCREMENT,tag_name VARCHAR(64) NOT NULL UNIQUE);  -- [upg]
create table if not exists brivanta_product_related_tag(id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,product_id INTEGER NOT NULL,tag_id INTEGER NOT NULL);  -- [upg]
CREATE INDEX IF NOT EXISTS idx_prt_tag ON brivanta_product_related_tag(tag_id);  -- [key] [upg]

CREATE TABLE brivanta_product_related (
  product_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  related_product_sku TEXT
);

CREATE TABLE if not exists brivanta_product_price (price_id integer PRIMARY KEY  NOT NULL  DEFAULT (0) ,product_id integer,vendor_group_id_list Varchar,vendor_state_id_list Varchar,vendor_id_list Varchar,customer_id_list Varchar,price double,currency Varchar,discount_price double,discount_identifier Varchar,discount_start_date Date DEFAULT (NULL) ,discount_end_date Date DEFAULT (NULL) ,discount_publish integer,tier_start_date Date DEFAULT (NULL) ,tier_end_date Date DEFAULT (NULL) ,tier_quantity_price Varchar DEFAULT (NULL) ,tier_publish integer
  , discount_rat double  -- [upg]
);
CREATE INDEX IF NOT EXISTS idx_price_product ON brivanta_product_price(product_id);  -- [key] (recreate after a rebuild)

CREATE TABLE brivanta_image (
  image_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  key_id INTEGER,
  key_type VARCHAR(32),
  image_thumb_address VARCHAR(255),
  image_full_address VARCHAR(255),
  image_isdault INTEGER DEFAULT 0,
  image_s_desc TEXT,
  image_l_desc TEXT,
  image_publis INTEGER DEFAULT 0,
  image_ordering INTEGER DEFAULT 0
);
CREATE INDEX idx_image_key ON brivanta_image(key_id);  -- [key]

CREATE TABLE brivanta_icon (
  id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  title VARCHAR(64),
  name VARCHAR(255),
  width INTEGER DEFAULT 0,
  height INTEGER DEFAULT 0,
  description TEXT,
  category VARCHAR(64),
  publish INTEGER DEFAULT 0
);

CREATE TABLE brivanta_compare (  -- [key] on product_id: a repeated save answers NO
  product_id INTEGER PRIMARY KEY NOT NULL,
  product_sku VARCHAR(64),
  product_name VARCHAR(255)
);
CREATE TABLE brivanta_favorite (  -- [key] as above
  product_id INTEGER PRIMARY KEY NOT NULL,
  product_sku VARCHAR(64),
  product_name VARCHAR(255)
);

CREATE TABLE brivanta_customer (
  customer_id INTEGER PRIMARY KEY NOT NULL,  -- [key] negative = made on the device
  customer_info_id VARCHAR(32),
  customer_name VARCHAR(255),
  customer_publish INTEGER DEFAULT 0,
  customer_ordering INTEGER DEFAULT 0,
  discount double DEFAULT 0
  , hidden INTEGER DEFAULT 0  -- [upg]
);
CREATE TABLE brivanta_customer_attribute (
  attribute_id INTEGER PRIMARY KEY NOT NULL,  -- [key] negative = made on the device
  customer_id INTEGER,
  attribute_fields_id INTEGER,
  attribute_value TEXT
);
CREATE INDEX idx_cattr_customer ON brivanta_customer_attribute(customer_id);  -- [key]
CREATE TABLE brivanta_fields_customer_attribute (
  field_id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  field_name VARCHAR(64),
  description TEXT,
  data_type VARCHAR(32),
  selection_list TEXT,
  display INTEGER DEFAULT 0,
  published INTEGER DEFAULT 0
);
create table if not exists brivanta_customer_address(id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,customer_id INTEGER NOT NULL,address VARCHAR(64),city VARCHAR(64),state VARCHAR(64),zip_code VARCHAR(64),isDefault INTEGER NOT NULL  DEFAULT 0);  -- [upg]
create table if not exists brivanta_customer_contact(contact_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,customer_id INTEGER NOT NULL,first_name VARCHAR(64),last_name VARCHAR(64),job_title VARCHAR(64),work_phone VARCHAR(64),mobile_phone VARCHAR(64),email VARCHAR(64),im VARCHAR(64),note VARCHAR(64),isDefault INTEGER NOT NULL  DEFAULT 0);  -- [upg]
CREATE INDEX IF NOT EXISTS idx_caddr_customer    ON brivanta_customer_address(customer_id);  -- [key] [upg]
CREATE INDEX IF NOT EXISTS idx_ccontact_customer ON brivanta_customer_contact(customer_id);  -- [key] [upg]
create table if not exists brivanta_customer_unsent(customer_id INTEGER PRIMARY KEY NOT NULL,change_count INTEGER NOT NULL DEFAULT 1);  -- [upg] customers changed on the device since their last upload
create table if not exists brivanta_customer_changed(customer_id INTEGER NOT NULL,kind TEXT NOT NULL,row_id INTEGER NOT NULL,field TEXT NOT NULL,PRIMARY KEY(customer_id,kind,row_id,field));  -- [upg] the fields the user changed since the office's version
create table if not exists brivanta_customer_sent(customer_id INTEGER PRIMARY KEY NOT NULL,sent TEXT NOT NULL,alike TEXT NOT NULL DEFAULT '');  -- [upg] local customers whose upload was never answered, and the server customers alike then
create table if not exists brivanta_local_id_mark(kind TEXT PRIMARY KEY NOT NULL,lowest INTEGER NOT NULL);  -- [upg] the lowest local customer id ever handed out

CREATE TABLE brivanta_library_category (
  id INTEGER PRIMARY KEY NOT NULL,  -- [key]
  name VARCHAR(128),
  ordering INTEGER DEFAULT 0,
  published INTEGER DEFAULT 0
  , parent_id integer DEFAULT 0  -- [upg]
);
CREATE TABLE brivanta_library_files (
  id INTEGER PRIMARY KEY NOT NULL,  -- [key] (INTEGER affinity: a quoted id still matches)
  title VARCHAR(255),
  file_name VARCHAR(255),
  category INTEGER DEFAULT 0,
  type VARCHAR(32),
  date VARCHAR(32),
  description TEXT,
  ordering INTEGER DEFAULT 0,
  published INTEGER DEFAULT 0,
  cover_image VARCHAR(255),
  info VARCHAR(64)
);
CREATE INDEX idx_libfiles_name ON brivanta_library_files(file_name);  -- [key]
CREATE TABLE brivanta_update (
  fileId INTEGER PRIMARY KEY NOT NULL  -- [key]
  , old_file_name VARCHAR DEFAULT NULL  -- [upg]
  , old_file_type VARCHAR DEFAULT NULL  -- [upg]
);
create table if not exists brivanta_product_related_file(id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,file_id INTEGER NOT NULL,product_sku varchar, product_id integer);  -- [upg]
create table if not exists brivanta_login_user(indexId INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,useName VARCHAR(20) NOT NULL UNIQUE,password VARCHAR(64) NOT NULL,clientId VARCHAR(20) NOT NULL,deviceId VARCHAR(20) NOT NULL,lastLoginTime VARCHAR(15), email VARCHAR(20), companyName VARCHAR(20), companyLink VARCHAR(50));  -- [upg]
-- brivanta_library_favorite is made by the first library-favourite save, not by the template.

CREATE TABLE brivanta_quote_order (
  order_id INTEGER PRIMARY KEY NOT NULL,  -- [key] negative = local, positive = server
  customer_id INTEGER DEFAULT 0,
  customer_info_id VARCHAR(32),
  customer_name VARCHAR(255),
  vendor_id INTEGER DEFAULT 0,
  order_number VARCHAR(64),
  order_total double,
  order_subtotal double,
  order_tax double,
  order_tax_details TEXT,
  order_shipping double,
  order_shipping_tax double,
  coupon_discount double,
  coupon_code VARCHAR(64),
  order_discount double,
  order_currency VARCHAR(16),
  order_status integer,
  cdate VARCHAR(100),
  mdate VARCHAR(100),
  ship_method VARCHAR(64),
  customer_note TEXT,
  ip_address VARCHAR(64),
  uploaded integer DEFAULT 0
  , discount_rat double  -- [upg]
  , signature TEXT  -- [upg]
  , address Varchar(255)  -- [upg]
  , city Varchar(32)  -- [upg]
  , state Varchar(32)  -- [upg]
  , zip_code Varchar(32)  -- [upg]
  , phone Varchar(32)  -- [upg]
  , bankAccount Varchar(32)  -- [upg]
  , account_id VARCHAR(64)  -- [upg] the account that made the order
);
CREATE INDEX idx_order_number ON brivanta_quote_order(order_number);  -- [key]
CREATE TABLE if not exists brivanta_quote_order_item (order_item_id integer  PRIMARY KEY AUTOINCREMENT DEFAULT NULL,order_id integer DEFAULT NULL,customer_info_id Varchar(32) DEFAULT NULL,vendor_id integer DEFAULT NULL,product_id integer DEFAULT NULL,order_item_sku Varchar(64) DEFAULT NULL,order_item_name Varchar(64) DEFAULT NULL,product_quantity integer DEFAULT NULL,product_item_price double DEFAULT NULL,product_final_price double DEFAULT NULL,order_item_currency Varchar(16) DEFAULT NULL,order_item_subtotal double,order_status Varchar(1) DEFAULT NULL,cdate Varchar(100) DEFAULT NULL,mdate Varchar(100) DEFAULT NULL,product_attribute TEXT DEFAULT NULL
  , discount_rat double  -- [upg]
);
CREATE INDEX IF NOT EXISTS idx_item_order ON brivanta_quote_order_item(order_id);  -- [key] (recreate after a rebuild)

CREATE VIEW customerView AS select t1.customer_id as customer_id,  -- [upg]
 (select t3.attribute_value from brivanta_fields_customer_attribute t2 ,brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id and t1.customer_id = t3.customer_id and t2.field_name = 'Address') as address,  -- [upg]
 (select t3.attribute_value from brivanta_fields_customer_attribute t2 ,brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id and t1.customer_id = t3.customer_id and t2.field_name = 'City') as city,  -- [upg]
 (select t3.attribute_value from brivanta_fields_customer_attribute t2 ,brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id and t1.customer_id = t3.customer_id and t2.field_name = 'State/Province/Region') as state,  -- [upg]
 (select t3.attribute_value from brivanta_fields_customer_attribute t2 ,brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id and t1.customer_id = t3.customer_id and t2.field_name = 'Zip Code') as zip_code,  -- [upg]
 (select t3.attribute_value from brivanta_fields_customer_attribute t2 ,brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id and t1.customer_id = t3.customer_id and t2.field_name = 'Phone') as phone,  -- [upg]
 (select t3.attribute_value from brivanta_fields_customer_attribute t2 ,brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id and t1.customer_id = t3.customer_id and t2.field_name = 'Bank Account') as bankAccount  -- [upg]
 from brivanta_customer t1;  -- [upg]
