-- A generated stand-in for a small sample database: 16 related tables, 47,000 rows in all, foreign keys between
-- them, mixed column kinds, primary keys and secondary indexes. Every value is computed from the row number.
CREATE DATABASE IF NOT EXISTS bench_shop16 CHARACTER SET utf8mb4;
USE bench_shop16;
CREATE TABLE regions (id INT NOT NULL PRIMARY KEY, name VARCHAR(40) NOT NULL) ENGINE=InnoDB;
CREATE TABLE countries (id INT NOT NULL PRIMARY KEY, region_id INT NOT NULL, name VARCHAR(60) NOT NULL,
  iso CHAR(2) NOT NULL, KEY (name), FOREIGN KEY (region_id) REFERENCES regions (id)) ENGINE=InnoDB;
CREATE TABLE cities (id INT NOT NULL PRIMARY KEY, country_id INT NOT NULL, name VARCHAR(80) NOT NULL,
  population INT NULL, KEY (name), FOREIGN KEY (country_id) REFERENCES countries (id)) ENGINE=InnoDB;
CREATE TABLE suppliers (id INT NOT NULL PRIMARY KEY, city_id INT NOT NULL, name VARCHAR(100) NOT NULL,
  phone VARCHAR(24) NULL, FOREIGN KEY (city_id) REFERENCES cities (id)) ENGINE=InnoDB;
CREATE TABLE categories (id INT NOT NULL PRIMARY KEY, name VARCHAR(50) NOT NULL, description TEXT NULL)
  ENGINE=InnoDB;
CREATE TABLE products (id INT NOT NULL PRIMARY KEY, category_id INT NOT NULL, supplier_id INT NOT NULL,
  name VARCHAR(120) NOT NULL, price DECIMAL(10,2) NOT NULL, discontinued TINYINT(1) NOT NULL, KEY (name),
  FOREIGN KEY (category_id) REFERENCES categories (id), FOREIGN KEY (supplier_id) REFERENCES suppliers (id))
  ENGINE=InnoDB;
CREATE TABLE customers (id INT NOT NULL PRIMARY KEY, city_id INT NOT NULL, first_name VARCHAR(40) NOT NULL,
  last_name VARCHAR(40) NOT NULL, email VARCHAR(120) NULL, since DATE NULL, KEY (last_name),
  FOREIGN KEY (city_id) REFERENCES cities (id)) ENGINE=InnoDB;
CREATE TABLE employees (id INT NOT NULL PRIMARY KEY, city_id INT NOT NULL, manager_id INT NULL,
  name VARCHAR(80) NOT NULL, hired DATETIME NOT NULL, salary DECIMAL(10,2) NULL,
  FOREIGN KEY (city_id) REFERENCES cities (id), FOREIGN KEY (manager_id) REFERENCES employees (id)) ENGINE=InnoDB;
CREATE TABLE shippers (id INT NOT NULL PRIMARY KEY, name VARCHAR(60) NOT NULL, phone VARCHAR(24) NULL)
  ENGINE=InnoDB;
CREATE TABLE orders (id INT NOT NULL PRIMARY KEY, customer_id INT NOT NULL, employee_id INT NOT NULL,
  shipper_id INT NOT NULL, ordered DATETIME NOT NULL, shipped DATE NULL, freight DOUBLE NULL,
  FOREIGN KEY (customer_id) REFERENCES customers (id), FOREIGN KEY (employee_id) REFERENCES employees (id),
  FOREIGN KEY (shipper_id) REFERENCES shippers (id)) ENGINE=InnoDB;
CREATE TABLE order_items (order_id INT NOT NULL, line SMALLINT NOT NULL, product_id INT NOT NULL,
  quantity SMALLINT NOT NULL, unit_price DECIMAL(10,2) NOT NULL, discount FLOAT NOT NULL,
  PRIMARY KEY (order_id, line), FOREIGN KEY (order_id) REFERENCES orders (id),
  FOREIGN KEY (product_id) REFERENCES products (id)) ENGINE=InnoDB;
CREATE TABLE payments (id INT NOT NULL PRIMARY KEY, order_id INT NOT NULL, paid DATETIME NOT NULL,
  amount DECIMAL(12,2) NOT NULL, method VARCHAR(20) NOT NULL, FOREIGN KEY (order_id) REFERENCES orders (id))
  ENGINE=InnoDB;
CREATE TABLE reviews (id INT NOT NULL PRIMARY KEY, product_id INT NOT NULL, customer_id INT NOT NULL,
  stars TINYINT NOT NULL, body TEXT NULL, FOREIGN KEY (product_id) REFERENCES products (id),
  FOREIGN KEY (customer_id) REFERENCES customers (id)) ENGINE=InnoDB;
CREATE TABLE inventory (product_id INT NOT NULL PRIMARY KEY, on_hand INT NOT NULL, counted DATE NULL,
  FOREIGN KEY (product_id) REFERENCES products (id)) ENGINE=InnoDB;
CREATE TABLE promotions (id INT NOT NULL PRIMARY KEY, title VARCHAR(80) NOT NULL, starts DATE NOT NULL,
  ends DATE NOT NULL) ENGINE=InnoDB;
CREATE TABLE product_promotions (product_id INT NOT NULL, promotion_id INT NOT NULL,
  PRIMARY KEY (product_id, promotion_id), FOREIGN KEY (product_id) REFERENCES products (id),
  FOREIGN KEY (promotion_id) REFERENCES promotions (id)) ENGINE=InnoDB;

INSERT INTO regions SELECT seq, CONCAT('Region ', seq) FROM seq_1_to_10;
INSERT INTO countries SELECT seq, 1 + seq % 10, CONCAT('Country ', seq, ' Ünïcode'), CHAR(65 + seq % 26, 65 + seq % 7)
  FROM seq_1_to_50;
INSERT INTO cities SELECT seq, 1 + seq % 50, CONCAT('City ', seq), IF(seq % 9 = 0, NULL, seq * 1237) FROM seq_1_to_400;
INSERT INTO suppliers SELECT seq, 1 + seq % 400, CONCAT('Supplier ', seq, ' Ltd'), CONCAT('+44 20 ', 1000000 + seq)
  FROM seq_1_to_200;
INSERT INTO categories SELECT seq, CONCAT('Category ', seq), IF(seq % 3 = 0, NULL, REPEAT('About it. ', seq))
  FROM seq_1_to_30;
INSERT INTO products SELECT seq, 1 + seq % 30, 1 + seq % 200, CONCAT('Product ', seq, ' – grade ', seq % 7),
  (seq % 5000) / 10 + 0.99, seq % 17 = 0 FROM seq_1_to_1500;
INSERT INTO customers SELECT seq, 1 + seq % 400, CONCAT('First', seq % 300), CONCAT('Last', seq),
  IF(seq % 11 = 0, NULL, CONCAT('c', seq, '@example.org')), '2015-01-01' + INTERVAL (seq % 3000) DAY
  FROM seq_1_to_5000;
INSERT INTO employees SELECT seq, 1 + seq % 400, IF(seq = 1, NULL, 1 + (seq - 2) DIV 10), CONCAT('Employee ', seq),
  '2010-01-01 09:00:00' + INTERVAL seq DAY, 30000 + seq * 125.5 FROM seq_1_to_100;
INSERT INTO shippers SELECT seq, CONCAT('Shipper ', seq), CONCAT('+1 555 ', 1000 + seq) FROM seq_1_to_10;
INSERT INTO orders SELECT seq, 1 + seq % 5000, 1 + seq % 100, 1 + seq % 10,
  '2020-01-01 08:00:00' + INTERVAL (seq * 37) MINUTE, IF(seq % 13 = 0, NULL, '2020-01-03' + INTERVAL (seq DIV 40) DAY),
  (seq % 1000) / 7 FROM seq_1_to_12000;
INSERT INTO order_items SELECT 1 + (seq - 1) % 12000, 1 + (seq - 1) DIV 12000, 1 + seq % 1500, 1 + seq % 20,
  (seq % 5000) / 10 + 0.99, (seq % 4) * 0.05 FROM seq_1_to_20000;
INSERT INTO payments SELECT seq, seq, '2020-01-02 10:00:00' + INTERVAL (seq * 89) MINUTE, (seq % 70000) / 7,
  ELT(1 + seq % 3, 'card', 'transfer', 'cash') FROM seq_1_to_5000;
INSERT INTO reviews SELECT seq, 1 + seq % 1500, 1 + seq % 5000, 1 + seq % 5,
  IF(seq % 4 = 0, NULL, CONCAT('Review ', seq, ': ', REPEAT('good ', 1 + seq % 30))) FROM seq_1_to_2000;
INSERT INTO inventory SELECT seq, seq * 3 % 1000, IF(seq % 5 = 0, NULL, '2024-06-01' + INTERVAL (seq % 60) DAY)
  FROM seq_1_to_500;
INSERT INTO promotions SELECT seq, CONCAT('Promotion ', seq), '2024-01-01' + INTERVAL seq DAY,
  '2024-01-15' + INTERVAL seq DAY FROM seq_1_to_100;
INSERT INTO product_promotions SELECT seq, 1 + seq % 100 FROM seq_1_to_100;
