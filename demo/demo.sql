-- The demo database of Tabletide: a small shop with related tables, the common MySQL column types, primary and
-- unique keys, an index over a text prefix, NULLs, a view, and text beyond ASCII. Loaded by scripts/demo.sh.
SET NAMES utf8mb4;
DROP DATABASE IF EXISTS tabletide_demo;
CREATE DATABASE tabletide_demo CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
USE tabletide_demo;

CREATE TABLE customers (
  customer_id INT NOT NULL AUTO_INCREMENT,
  name VARCHAR(80) NOT NULL,
  email VARCHAR(120) NULL,
  city VARCHAR(60) NULL,
  country CHAR(2) NOT NULL DEFAULT 'DE',
  vip BIT(1) NOT NULL DEFAULT b'0',
  born DATE NULL,
  created_at DATETIME NOT NULL DEFAULT '2024-01-01 00:00:00',
  notes TEXT NULL,
  PRIMARY KEY (customer_id),
  UNIQUE KEY uq_customers_email (email),
  KEY ix_customers_city (city)
) ENGINE=InnoDB;

INSERT INTO customers (name, email, city, country, vip, born, created_at, notes) VALUES
  ('Jürgen Größe', 'juergen@example.org', 'München', 'DE', b'1', '1971-03-14', '2024-02-01 09:15:00',
   'Prefers delivery before noon. Straße mit ß.'),
  ('Zoë Ørsted', 'zoe@example.dk', 'København', 'DK', b'0', '1988-11-02', '2024-02-03 17:40:12', NULL),
  ('Łukasz Wiśniewski', NULL, 'Kraków', 'PL', b'0', NULL, '2024-03-10 08:00:00', 'No e-mail given.'),
  ('Amélie Dupré', 'amelie@example.fr', 'Besançon', 'FR', b'1', '1995-06-30', '2024-04-22 12:30:45',
   'Café owner — orders in bulk.'),
  ('Søren Kierkegaard', 'soren@example.dk', 'Aarhus', 'DK', b'0', '1960-01-01', '2024-05-05 23:59:59', ''),
  ('Ελένη Παπαδοπούλου', 'eleni@example.gr', 'Αθήνα', 'GR', b'0', '1979-09-09', '2024-06-01 10:00:00',
   'Greek customer; name in Greek letters.');

CREATE TABLE products (
  product_id SMALLINT UNSIGNED NOT NULL,
  sku CHAR(8) NOT NULL,
  title VARCHAR(100) NOT NULL,
  description TEXT NULL,
  price DECIMAL(10,2) NOT NULL,
  weight_kg FLOAT NULL,
  rating DOUBLE NULL,
  stock INT NOT NULL DEFAULT 0,
  in_catalog TINYINT(1) NOT NULL DEFAULT 1,
  photo BLOB NULL,
  PRIMARY KEY (product_id),
  UNIQUE KEY uq_products_sku (sku)
) ENGINE=InnoDB;

INSERT INTO products VALUES
  (1, 'TEA-0001', 'Grüner Tee, 100 g', 'Loose-leaf green tea.', 4.95, 0.1, 4.5, 120, 1, X'89504E470D0A1A0A'),
  (2, 'MUG-0002', 'Kaffeebecher «Hafen»', NULL, 12.50, 0.35, 4.8, 40, 1, NULL),
  (3, 'CHO-0003', 'Chocolat noir 70 %', 'Dark chocolate bar.', 2.20, 0.1, NULL, 0, 0, NULL),
  (4, 'BAG-0004', 'Jute bag', 'Reusable bag — 40 × 35 cm.', 3.00, 0.2, 3.9, 250, 1, X'00FF10'),
  (5, 'HON-0005', 'Honning fra Fyn', NULL, 7.75, 0.5, 4.1, 15, 1, NULL);

CREATE TABLE orders (
  order_id BIGINT NOT NULL AUTO_INCREMENT,
  customer_id INT NOT NULL,
  ordered_on DATE NOT NULL,
  ordered_at TIME NULL,
  status ENUM('new','paid','shipped','cancelled') NOT NULL DEFAULT 'new',
  total DECIMAL(12,2) NOT NULL DEFAULT 0.00,
  updated TIMESTAMP NULL DEFAULT NULL,
  PRIMARY KEY (order_id),
  KEY ix_orders_customer (customer_id),
  CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customers (customer_id)
) ENGINE=InnoDB;

INSERT INTO orders (customer_id, ordered_on, ordered_at, status, total, updated) VALUES
  (1, '2024-06-01', '09:30:00', 'paid', 17.45, '2024-06-01 09:31:00'),
  (2, '2024-06-02', '14:05:10', 'shipped', 12.50, '2024-06-03 08:00:00'),
  (4, '2024-06-02', NULL, 'new', 44.00, NULL),
  (1, '2024-06-10', '18:45:00', 'cancelled', 0.00, '2024-06-10 19:00:00'),
  (6, '2024-06-11', '07:00:00', 'paid', 15.50, '2024-06-11 07:05:00');

CREATE TABLE order_lines (
  order_id BIGINT NOT NULL,
  line_no TINYINT UNSIGNED NOT NULL,
  product_id SMALLINT UNSIGNED NOT NULL,
  quantity MEDIUMINT NOT NULL DEFAULT 1,
  unit_price DECIMAL(10,2) NOT NULL,
  PRIMARY KEY (order_id, line_no),
  KEY ix_lines_product (product_id),
  CONSTRAINT fk_lines_order FOREIGN KEY (order_id) REFERENCES orders (order_id),
  CONSTRAINT fk_lines_product FOREIGN KEY (product_id) REFERENCES products (product_id)
) ENGINE=InnoDB;

INSERT INTO order_lines VALUES
  (1, 1, 1, 1, 4.95), (1, 2, 2, 1, 12.50),
  (2, 1, 2, 1, 12.50),
  (3, 1, 4, 10, 3.00), (3, 2, 3, 5, 2.20), (3, 3, 1, 0, 4.95),
  (5, 1, 5, 2, 7.75);

CREATE TABLE tags (
  tag VARCHAR(40) NOT NULL,
  color SET('red','green','blue') NULL,
  year_added YEAR NULL,
  PRIMARY KEY (tag)
) ENGINE=InnoDB;

INSERT INTO tags VALUES ('bio', 'green', 2021), ('fair trade', 'green,blue', 2022), ('neu', NULL, NULL),
  ('würzig', 'red', 2023);

CREATE VIEW paid_orders AS
  SELECT o.order_id, c.name, o.total FROM orders o JOIN customers c ON c.customer_id = o.customer_id
  WHERE o.status IN ('paid', 'shipped');
