// Syntax check of T-SQL text by two independent parsers, for tests/schema/TsqlSyntaxTest.cpp.
//
//   node check-tsql.js MODULES_DIR
//
// MODULES_DIR is the folder that `npm ci` filled from package-lock.json beside this file. Reads
// one JSON object a line from standard input, {"sql": "..."}: one batch (no GO in it). Answers
// each with one JSON line:
//   {"grammar": [errors], "sqlParser": [errors] | null, "sqlParserText": "..." | null,
//    "sqlParserNote": "..." | null, "batch": [errors]}
// An empty list means the parser accepted the text. Errors begin "line:column", counted in the
// text as given.
//
// "batch" holds what breaks SQL Server's one rule for batches that neither parser knows: CREATE
// VIEW, FUNCTION, PROCEDURE and TRIGGER must each be the first statement of its batch.
//
// The two parsers:
//  * grammar: the ANTLR grammar of T-SQL (antlr4ts-sql), which covers the whole language,
//    procedural code included. It reads every text as it is. It is lenient in places (it takes
//    a column definition with a missing comma, "A INT B INT"), so it does not stand alone.
//  * sqlParser: node-sql-parser in its TransactSQL mode. Strict where the grammar is lenient,
//    lenient where the grammar is strict (it takes MySQL's LIMIT), and it lacks some of T-SQL.
//    What it lacks is handled here, each case by name, and nothing else is changed or left out:
//      - a column constraint with a name ("ID INT NOT NULL CONSTRAINT PK_T PRIMARY KEY", the same
//        before DEFAULT, UNIQUE and CHECK): it gets the column without "CONSTRAINT name". A
//        table constraint with a name ("CONSTRAINT PK_T PRIMARY KEY (A, B)") it takes as is.
//      - CREATE VIEW with more than one column: it gets the view's SELECT alone.
//      - variables set before a statement (leading "DECLARE @x ..." and "SET @x = ..." lines,
//        which it cannot read without semicolons, nor SET @x = at all): it gets what follows.
//      - procedural code (CREATE FUNCTION, CREATE PROCEDURE, CREATE TRIGGER, WHILE, IF, a
//        variable set by SET anywhere else): it does not see the text; "sqlParser" is null and
//        "sqlParserNote" says why. Such text is checked by the grammar alone.
//      - SET IDENTITY_INSERT table ON|OFF, a session option it does not know: likewise not seen.
//    "sqlParserText" is the text that node-sql-parser read, when it differs from the input.
'use strict';

const path = require('path');
const readline = require('readline');
const { createRequire } = require('module');

const modulesDir = process.argv[2];
if (!modulesDir) {
  process.stderr.write('usage: node check-tsql.js MODULES_DIR\n');
  process.exit(2);
}
const requireModule = createRequire(path.join(path.resolve(modulesDir), 'index.js'));

// The grammar's own modules: the package's index also loads parsers of other dialects.
const antlr = requireModule('antlr4ts');
const { BailErrorStrategy } = requireModule('antlr4ts/BailErrorStrategy');
const { PredictionMode } = requireModule('antlr4ts/atn/PredictionMode');
const { CaseChangingStream } = requireModule('antlr4ts-sql/dist/src/models/CaseChangingStream');
const { TSqlLexer } = requireModule('antlr4ts-sql/dist/src/grammar-output/tsql/TSqlLexer');
const { TSqlParser } = requireModule('antlr4ts-sql/dist/src/grammar-output/tsql/TSqlParser');
const { Parser } = requireModule('node-sql-parser/build/transactsql');

function grammarParser(sql, listener) {
  // T-SQL's keywords are case-insensitive; the grammar is written in upper case.
  const lexer = new TSqlLexer(new CaseChangingStream(new antlr.ANTLRInputStream(sql), true));
  lexer.removeErrorListeners();
  if (listener) lexer.addErrorListener(listener);
  const parser = new TSqlParser(new antlr.CommonTokenStream(lexer));
  parser.removeErrorListeners();
  if (listener) parser.addErrorListener(listener);
  return parser;
}

// The usual two stages of an ANTLR parse: the fast SLL prediction first, which either accepts
// the text or gives up at its first doubt; then full LL prediction, for the exact errors.
function grammarErrors(sql) {
  const fast = grammarParser(sql, null);
  fast.interpreter.setPredictionMode(PredictionMode.SLL);
  fast.errorHandler = new BailErrorStrategy();
  let lexerErrors = 0;
  fast.inputStream.tokenSource.addErrorListener({ syntaxError: () => ++lexerErrors });
  try {
    fast.tsql_file();
    if (lexerErrors === 0) return [];
  } catch (e) {
    // a doubt or an error: parse again in full
  }
  const errors = [];
  const listener = {
    syntaxError: (recognizer, symbol, line, column, message) => {
      // The grammar's messages name tokens by number and list every token it would take.
      const near =
        symbol && symbol.stopIndex >= symbol.startIndex
          ? ` near ${JSON.stringify(sql.slice(symbol.startIndex, symbol.stopIndex + 1))}`
          : ' at the end';
      const brief = message
        .replace(/'<\d+>'/g, 'this')
        .replace(/\{([^}]*)\}/, (all, list) => shortList(list, all));
      errors.push(`${line}:${column + 1}${near}: ${brief}`);
    },
  };
  grammarParser(sql, listener).tsql_file();
  // After the first error the parser recovers as it can; what follows is mostly echo.
  return errors.length > 3 ? errors.slice(0, 3).concat([`(${errors.length - 3} more)`]) : errors;
}

// A list of the tokens a parser would have taken, when long, as its length.
function shortList(list, all) {
  const count = list.split(', ').length;
  return count > 8 ? `one of ${count} tokens` : all;
}

const sqlParser = new Parser();

function sqlParserErrors(sql) {
  try {
    sqlParser.astify(sql, { database: 'transactsql' });
    return [];
  } catch (e) {
    // Its offsets count from the first character that is not blank.
    const at = e.location ? `${lineColumn(sql, e.location.start.offset + (sql.length - sql.trimStart().length))} ` : '';
    const message = String(e.message).split('\n')[0].replace(/^Expected (.*) but /, (all, list) =>
      `Expected ${shortList(list, list)} but `);
    return [at + message];
  }
}

// Blanks out comments and the insides of literals and quoted names, keeping every offset, so
// that the patterns below see only code.
function codeOnly(sql) {
  const out = sql.split('');
  let i = 0;
  const blank = (from, to) => {
    for (let k = from; k < to && k < out.length; ++k)
      if (out[k] !== '\n') out[k] = ' ';
  };
  while (i < sql.length) {
    const c = sql[i];
    if (c === '-' && sql[i + 1] === '-') {
      const end = sql.indexOf('\n', i);
      const stop = end < 0 ? sql.length : end;
      blank(i, stop);
      i = stop;
    } else if (c === '/' && sql[i + 1] === '*') {
      let depth = 1;
      let k = i + 2;
      while (k < sql.length && depth > 0) {
        if (sql[k] === '/' && sql[k + 1] === '*') { ++depth; k += 2; }
        else if (sql[k] === '*' && sql[k + 1] === '/') { --depth; k += 2; }
        else ++k;
      }
      blank(i, k);
      i = k;
    } else if (c === "'" || c === '"' || c === '[') {
      const close = c === '[' ? ']' : c;
      let k = i + 1;
      while (k < sql.length) {
        if (sql[k] === close) {
          if (sql[k + 1] === close) { k += 2; continue; }
          break;
        }
        ++k;
      }
      blank(i + 1, k);
      i = k + 1;
    } else {
      ++i;
    }
  }
  return out.join('');
}

// What node-sql-parser is given for a text: {text} or {skip: reason}. What it is not to read is
// blanked, not cut, so that its line and column numbers stay those of the input.
function forSqlParser(sql) {
  const code = codeOnly(sql);
  const routine = /^\s*(CREATE|ALTER)\s+(OR\s+ALTER\s+)?(FUNCTION|PROCEDURE|PROC|TRIGGER)\b/i.exec(code);
  if (routine)
    return { skip: `procedural code (CREATE ${routine[3].toUpperCase()}) is not in node-sql-parser's T-SQL` };

  if (/^\s*SET\s+IDENTITY_INSERT\b/i.test(code))
    return { skip: "SET IDENTITY_INSERT is not in node-sql-parser's T-SQL" };

  const blanks = [];
  let start = 0;
  // Leading variables: DECLARE and SET @ lines before the statement.
  const prelude = /^(\s*(DECLARE\s+@[^\n]*|SET\s+@[^\n]*)(\n|$))+/i.exec(code);
  if (prelude) start = prelude[0].length;
  // CREATE VIEW name AS: the SELECT alone.
  const view = /^\s*CREATE\s+VIEW\s+(\[[^\]]*\]|[\w."])+\s+AS\b/i.exec(code.slice(start));
  if (view) start += view[0].length;
  blanks.push([0, start]);

  if (/\b(WHILE|IF)\b|\bSET\s+@/i.test(code.slice(start)))
    return { skip: "procedural code (WHILE, IF or SET @variable) is not in node-sql-parser's T-SQL" };

  // Column constraints with a name: the name goes, the constraint stays. A table constraint
  // follows "(" or ",", a column constraint follows the column's type or another constraint.
  const named = /([^\s(,])(\s+)CONSTRAINT\s+\w+\s+(?=(PRIMARY\s+KEY|DEFAULT|UNIQUE|CHECK)\b)/gi;
  named.lastIndex = start;
  let m;
  while ((m = named.exec(code)) !== null)
    blanks.push([m.index + m[1].length + m[2].length, m.index + m[0].length]);

  const out = sql.split('');
  for (const [from, to] of blanks)
    for (let k = from; k < to; ++k)
      if (out[k] !== '\n' && out[k] !== '\r') out[k] = ' ';
  return { text: out.join('') };
}

function lineColumn(text, offset) {
  const before = text.slice(0, offset).split('\n');
  return `${before.length}:${before[before.length - 1].length + 1}`;
}

function batchErrors(sql) {
  const code = codeOnly(sql);
  const first = code.search(/\S/);
  const errors = [];
  const creates = /\bCREATE\s+(OR\s+ALTER\s+)?(VIEW|FUNCTION|PROCEDURE|PROC|TRIGGER)\b/gi;
  let m;
  while ((m = creates.exec(code)) !== null)
    if (m.index !== first)
      errors.push(`${lineColumn(sql, m.index)} CREATE ${m[2].toUpperCase()} is not the first statement of its batch`);
  return errors;
}

function check(sql) {
  const result = {
    grammar: grammarErrors(sql),
    sqlParser: null,
    sqlParserText: null,
    sqlParserNote: null,
    batch: batchErrors(sql),
  };
  const prepared = forSqlParser(sql);
  if (prepared.skip) {
    result.sqlParserNote = prepared.skip;
  } else {
    result.sqlParser = sqlParserErrors(prepared.text);
    if (prepared.text !== sql) result.sqlParserText = prepared.text;
  }
  return result;
}

const input = readline.createInterface({ input: process.stdin, terminal: false });
input.on('line', (line) => {
  if (!line.trim()) return;
  let answer;
  try {
    answer = check(JSON.parse(line).sql);
  } catch (e) {
    answer = { failure: String(e && e.stack ? e.stack : e) };
  }
  process.stdout.write(JSON.stringify(answer) + '\n');
});
