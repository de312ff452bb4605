// Parses each PowerShell file named on the command line with tree-sitter's PowerShell grammar and
// prints "ok FILE" or "FAIL FILE: ..." with every ERROR and MISSING node; exits 1 when any file
// has one. Runs from the folder where `npm ci` installed this folder's package.json.
'use strict';
const fs = require('node:fs');
const { Parser, Language } = require('web-tree-sitter');

function problems(node, found = []) {
    if (node.isError || node.isMissing) {
        const where = `${node.startPosition.row + 1}:${node.startPosition.column + 1}`;
        found.push(`${node.isMissing ? `MISSING ${node.type}` : 'ERROR'} at line ${where}`);
    }
    for (const child of node.children) problems(child, found);
    return found;
}

async function main(files) {
    await Parser.init();
    const grammar = await Language.load(require.resolve('tree-sitter-powershell/tree-sitter-powershell.wasm'));
    const parser = new Parser();
    parser.setLanguage(grammar);
    let failed = 0;
    for (const file of files) {
        const found = problems(parser.parse(fs.readFileSync(file, 'utf8')).rootNode);
        if (found.length) failed++;
        console.log(found.length ? `FAIL ${file}: ${found.join(', ')}` : `ok   ${file}`);
    }
    return failed ? 1 : 0;
}

main(process.argv.slice(2)).then((code) => process.exit(code), (error) => {
    console.error(error);
    process.exit(2);
});
