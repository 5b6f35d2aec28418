-- A small shop database for trying Tavrex: related tables, the commonly used
-- MySQL column types, primary keys, unique and plain indexes, a few thousand
-- rows and Chinese text. Loaded by scripts/demo into a throwaway MariaDB.

DROP DATABASE IF EXISTS tavrex_demo;
CREATE DATABASE tavrex_demo CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE tavrex_demo;

CREATE TABLE customers (
  id          INT UNSIGNED NOT NULL AUTO_INCREMENT,
  code        CHAR(8)      NOT NULL,
  name        VARCHAR(80)  NOT NULL,
  email       VARCHAR(120) NULL,
  city        VARCHAR(40)  NULL,
  vip         TINYINT(1)   NOT NULL DEFAULT 0,
  born        DATE         NULL,
  created_at  DATETIME     NOT NULL,
  notes       TEXT         NULL,
  PRIMARY KEY (id),
  UNIQUE KEY email (email),
  KEY city (city)
);

CREATE TABLE products (
  id          INT          NOT NULL,
  sku         VARCHAR(20)  NOT NULL,
  title       VARCHAR(200) NOT NULL,
  price       DECIMAL(10,2) NOT NULL,
  weight_kg   DOUBLE       NULL,
  rating      FLOAT        NULL,
  stock       SMALLINT     NOT NULL,
  category    ENUM('book','music','tool','food') NOT NULL,
  tags        SET('new','sale','gift') NULL,
  released    YEAR         NULL,
  description MEDIUMTEXT   NULL,
  picture     BLOB         NULL,
  PRIMARY KEY (id),
  KEY sku (sku),
  KEY cat_price (category, price)
);

CREATE TABLE orders (
  id          BIGINT       NOT NULL,
  customer_id INT UNSIGNED NOT NULL,
  ordered_at  DATETIME     NOT NULL,
  shipped_on  DATE         NULL,
  pickup_time TIME         NULL,
  total       DECIMAL(12,2) NOT NULL,
  status      VARCHAR(12)  NOT NULL,
  PRIMARY KEY (id),
  KEY customer (customer_id),
  KEY dates (ordered_at, shipped_on)
);

CREATE TABLE order_items (
  order_id    BIGINT       NOT NULL,
  line        SMALLINT     NOT NULL,
  product_id  INT          NOT NULL,
  quantity    MEDIUMINT    NOT NULL,
  unit_price  DECIMAL(10,2) NOT NULL,
  PRIMARY KEY (order_id, line),
  KEY product (product_id)
);

CREATE TABLE audit_log (
  id          BIGINT UNSIGNED NOT NULL AUTO_INCREMENT,
  happened_at TIMESTAMP    NOT NULL DEFAULT CURRENT_TIMESTAMP,
  actor       VARCHAR(40)  NOT NULL,
  message     LONGTEXT     NULL,
  payload     LONGBLOB     NULL,
  PRIMARY KEY (id)
);

INSERT INTO customers (code, name, email, city, vip, born, created_at, notes)
SELECT CONCAT('C', LPAD(seq, 7, '0')),
       ELT(1 + seq % 6, '张伟', '王芳', 'Ann Miller', 'Björn Åström', '李娜', 'José Núñez'),
       IF(seq % 10 = 0, NULL, CONCAT('user', seq, '@example.org')),
       ELT(1 + seq % 5, '北京', '上海', 'Berlin', 'São Paulo', NULL),
       seq % 7 = 0,
       IF(seq % 9 = 0, NULL, DATE('1950-01-01') + INTERVAL (seq * 37) % 20000 DAY),
       TIMESTAMP('2020-01-01 08:00:00') + INTERVAL seq * 3607 SECOND,
       IF(seq % 4 = 0, CONCAT('客户备注 ', seq, ': 喜欢周末送货'), NULL)
FROM seq_1_to_500;

INSERT INTO products
SELECT seq, CONCAT('SKU-', seq),
       CONCAT(ELT(1 + seq % 4, '书 ', 'Album ', 'Hammer ', '茶叶 '), seq),
       ROUND(1 + (seq * 7919 % 100000) / 100, 2),
       IF(seq % 5 = 0, NULL, (seq % 300) / 7),
       (seq % 50) / 10,
       seq % 1000,
       ELT(1 + seq % 4, 'book', 'music', 'tool', 'food'),
       ELT(1 + seq % 4, 'new', 'sale', 'new,gift', NULL),
       1990 + seq % 35,
       CONCAT('Description of product ', seq, '. 产品说明：质量很好。'),
       IF(seq % 3 = 0, NULL, UNHEX(REPEAT(LPAD(HEX(seq % 256), 2, '0'), 64)))
FROM seq_1_to_200;

INSERT INTO orders
SELECT seq, 1 + seq % 500,
       TIMESTAMP('2023-01-01 09:00:00') + INTERVAL seq * 1801 SECOND,
       IF(seq % 6 = 0, NULL, DATE('2023-01-02') + INTERVAL seq DIV 48 DAY),
       IF(seq % 3 = 0, NULL, SEC_TO_TIME(32400 + seq * 61 % 32400)),
       0, ELT(1 + seq % 3, 'new', 'shipped', '已发货')
FROM seq_1_to_2000;

INSERT INTO order_items
SELECT o.seq, l.seq, 1 + (o.seq * 31 + l.seq) % 200, 1 + (o.seq + l.seq) % 5,
       ROUND(1 + ((o.seq * 31 + l.seq) % 200 * 7919 % 100000) / 100, 2)
FROM seq_1_to_2000 o JOIN seq_1_to_3 l ON l.seq <= 1 + o.seq % 3;

UPDATE orders o SET total = (SELECT SUM(quantity * unit_price) FROM order_items i WHERE i.order_id = o.id);

INSERT INTO audit_log (happened_at, actor, message, payload)
SELECT TIMESTAMP('2024-03-01 00:00:00') + INTERVAL seq MINUTE,
       ELT(1 + seq % 3, 'system', '管理员', 'batch'),
       CONCAT('Event ', seq, ' 事件记录'),
       IF(seq % 2 = 0, NULL, UNHEX(REPEAT('00FF', 16 * seq)))
FROM seq_1_to_300;
