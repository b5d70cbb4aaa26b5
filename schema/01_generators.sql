-- Number generators. GEN_LFDNR gives the key of every row of every table, so keys are unique across
-- the whole database. The others give the document and master-data numbers the users see.
-- A fresh generator stands at 0: the first number drawn is 1.
--
--   GEN_LFDNR    LFDNR of every row of every table
--   GEN_KUNNR    customer numbers
--   GEN_LFRNR    supplier numbers
--   GEN_MABNR    employee numbers
--   GEN_ARTNR    article numbers
--   GEN_ATRANNR  quotation numbers
--   GEN_ATRABNR  order confirmation numbers
--   GEN_ATRLSNR  delivery note numbers
--   GEN_ATRRGNR  invoice numbers
--   GEN_ATRRBNR  cash invoice numbers
--   GEN_ATRGSNR  credit note numbers
--   GEN_BSTBANR  purchase enquiry numbers
--   GEN_BSTBENR  purchase order numbers
--   GEN_BSTWENR  goods receipt numbers
--   GEN_BSTSTNR  purchase cancellation numbers
--   GEN_BSTSONR  other purchase document numbers
CREATE GENERATOR GEN_LFDNR;
CREATE GENERATOR GEN_KUNNR;
CREATE GENERATOR GEN_LFRNR;
CREATE GENERATOR GEN_MABNR;
CREATE GENERATOR GEN_ARTNR;
CREATE GENERATOR GEN_ATRANNR;
CREATE GENERATOR GEN_ATRABNR;
CREATE GENERATOR GEN_ATRLSNR;
CREATE GENERATOR GEN_ATRRGNR;
CREATE GENERATOR GEN_ATRRBNR;
CREATE GENERATOR GEN_ATRGSNR;
CREATE GENERATOR GEN_BSTBANR;
CREATE GENERATOR GEN_BSTBENR;
CREATE GENERATOR GEN_BSTWENR;
CREATE GENERATOR GEN_BSTSTNR;
CREATE GENERATOR GEN_BSTSONR;

SET TERM ^ ;

-- Each generator has a procedure of the same name that draws from it: EXECUTE PROCEDURE GEN_LFDNR(1)
-- returns the next key. Clients that find the procedure missing create it with this very text.
create procedure GEN_LFDNR(schr integer) returns (id integer) as begin id=gen_id(GEN_LFDNR,:schr); end^
create procedure GEN_KUNNR(schr integer) returns (id integer) as begin id=gen_id(GEN_KUNNR,:schr); end^
create procedure GEN_LFRNR(schr integer) returns (id integer) as begin id=gen_id(GEN_LFRNR,:schr); end^
create procedure GEN_MABNR(schr integer) returns (id integer) as begin id=gen_id(GEN_MABNR,:schr); end^
create procedure GEN_ARTNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ARTNR,:schr); end^
create procedure GEN_ATRANNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ATRANNR,:schr); end^
create procedure GEN_ATRABNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ATRABNR,:schr); end^
create procedure GEN_ATRLSNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ATRLSNR,:schr); end^
create procedure GEN_ATRRGNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ATRRGNR,:schr); end^
create procedure GEN_ATRRBNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ATRRBNR,:schr); end^
create procedure GEN_ATRGSNR(schr integer) returns (id integer) as begin id=gen_id(GEN_ATRGSNR,:schr); end^
create procedure GEN_BSTBANR(schr integer) returns (id integer) as begin id=gen_id(GEN_BSTBANR,:schr); end^
create procedure GEN_BSTBENR(schr integer) returns (id integer) as begin id=gen_id(GEN_BSTBENR,:schr); end^
create procedure GEN_BSTWENR(schr integer) returns (id integer) as begin id=gen_id(GEN_BSTWENR,:schr); end^
create procedure GEN_BSTSTNR(schr integer) returns (id integer) as begin id=gen_id(GEN_BSTSTNR,:schr); end^
create procedure GEN_BSTSONR(schr integer) returns (id integer) as begin id=gen_id(GEN_BSTSONR,:schr); end^

SET TERM ; ^
