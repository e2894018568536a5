'use strict';
// The built pages' bytes, as the program carries them: GB2312 text with CR LF line ends and the
// exact trailing zero bytes, their declared charset and titles, the calculator's script block
// wrapper, and the side panel's frame of the widget address the shell also uses.

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { describe, test } = require('node:test');
const { BuiltPage, UseChromium } = require('./calculator_page.js');

const kCalculator = fs.readFileSync(BuiltPage('PLQ_CALCULATOR_PAGE'));
const kSidePanel = fs.readFileSync(BuiltPage('PLQ_SIDE_PANEL_PAGE'));
const kPages = [
  ['calculator page', kCalculator, Buffer.from('</html>\0', 'latin1')],
  ['side panel page', kSidePanel, Buffer.from('</html>\r\n\0\0', 'latin1')],
];

// The widget address as the shell's header spells it: the C++ string literals after
// `kWidgetAddress[] =`, joined.
function WidgetAddress() {
  const header = fs.readFileSync(
    path.join(__dirname, '..', '..', 'shell', 'core', 'addresses.h'),
    'utf8',
  );
  const declaration = /kWidgetAddress\[\]\s*=([^;]*);/.exec(header);
  assert.ok(declaration, 'addresses.h declares kWidgetAddress');
  const pieces = declaration[1].match(/"(?:[^"\\]|\\.)*"/g);
  return pieces.map((piece) => JSON.parse(piece)).join('');
}

// Offsets of every byte sequence that is neither ASCII nor one GB2312 (EUC-CN) character.
function NonGb2312(bytes) {
  const bad = [];
  for (let i = 0; i < bytes.length; i++) {
    const lead = bytes[i];
    if (lead < 0x80) continue;
    const trail = bytes[i + 1];
    if (lead >= 0xa1 && lead <= 0xf7 && trail >= 0xa1 && trail <= 0xfe) {
      i++;
    } else {
      bad.push(i);
    }
  }
  return bad;
}

// The page text without its trailing zero bytes, decoded.
function Text(bytes, zeros) {
  return new TextDecoder('gb18030', { fatal: true }).decode(bytes.subarray(0, bytes.length - zeros));
}

describe('built page bytes', () => {
  for (const [name, bytes, ending] of kPages) {
    const zeros = ending.filter((byte) => byte === 0).length;
    test(`${name}: ASCII and GB2312 characters only, and it decodes`, () => {
      assert.deepEqual(NonGb2312(bytes).slice(0, 10), []);
      const text = Text(bytes, zeros);
      assert.ok(!text.includes('\uFFFD'));
      assert.ok(!text.includes('\0'), 'no zero byte before the end');
    });

    test(`${name}: CR LF line ends only`, () => {
      for (let i = 0; i < bytes.length; i++) {
        if (bytes[i] === 0x0d) assert.equal(bytes[i + 1], 0x0a, `CR without LF at byte ${i}`);
        if (bytes[i] === 0x0a) assert.equal(bytes[i - 1], 0x0d, `LF without CR at byte ${i}`);
      }
      assert.ok(bytes.includes(Buffer.from('\r\n')), 'more than one line');
    });

    test(`${name}: ends exactly in ${JSON.stringify(ending.toString('latin1'))}`, () => {
      assert.deepEqual(bytes.subarray(bytes.length - ending.length), ending);
      assert.equal(bytes.indexOf(0), bytes.length - zeros);
      assert.equal(bytes.indexOf(Buffer.from('</html>')), bytes.length - ending.length);
    });

    test(`${name}: declares charset gb2312 in a meta element of its head`, () => {
      const text = Text(bytes, zeros).toLowerCase();
      const head = text.slice(0, text.indexOf('</head>'));
      assert.match(
        head,
        /<meta\s+http-equiv="content-type"\s+content="text\/html;\s*charset=gb2312"\s*\/?>/,
      );
    });
  }

  test('titles', () => {
    assert.match(Text(kCalculator, 1), /<title>排卵期计算器-Lunvela<\/title>/);
    assert.match(Text(kSidePanel, 2), /<title>新建网页 1<\/title>/);
  });

  test('the calculator page has no document type and begins with its html element', () => {
    assert.match(Text(kCalculator, 1), /^<html[\s>]/i);
  });

  test('the script block opens and closes with its hiding comment lines', () => {
    const text = Text(kCalculator, 1);
    const blocks = [...text.matchAll(/<script\b([^>]*)>([\s\S]*?)<\/script>/gi)];
    assert.equal(blocks.length, 1, 'one script block');
    const [, attributes, body] = blocks[0];
    assert.match(attributes, /^\s+language="JavaScript"\s*$/);
    const lines = body.split('\r\n');
    // The block's own line ends sit before the first and after the last line.
    assert.equal(lines[0], '');
    assert.equal(lines[lines.length - 1], '');
    assert.equal(lines[1], '<!-- Hide this script from old browsers --');
    assert.equal(lines[lines.length - 2], '// -- End Hiding Here -->');
    assert.equal(lines.filter((line) => line.includes('-->')).length, 1);
  });

  test('the side panel body is one frame of the widget address', () => {
    const text = Text(kSidePanel, 2);
    const body = /<body[^>]*>([\s\S]*)<\/body>/i.exec(text);
    assert.ok(body, 'the page has a body');
    const content = body[1].trim();
    assert.match(content, /^<iframe\s[^>]*><\/iframe>$/i, 'one element, nothing around it');
    assert.ok(!/<script/i.test(text), 'no script');
  });
});

describe('built pages in Chromium', () => {
  const chromium = UseChromium();

  test('the calculator page: GBK-decoded, quirks mode, its title', async () => {
    const context = await chromium.browser.newContext();
    const page = await context.newPage();
    await page.goto(pathToFileURL(BuiltPage('PLQ_CALCULATOR_PAGE')).href);
    assert.deepEqual(
      await page.evaluate(() => [document.characterSet, document.compatMode, document.title]),
      ['GBK', 'BackCompat', '排卵期计算器-Lunvela'],
    );
    await context.close();
  });

  test('the side panel: a 160 x 460 frame without border of the widget address', async () => {
    const context = await chromium.browser.newContext();
    const requests = [];
    // The widget is remote: record what the frame asks for and answer nothing.
    await context.route(
      (url) => url.protocol !== 'file:',
      (route) => {
        requests.push(route.request().url());
        return route.abort();
      },
    );
    const page = await context.newPage();
    await page.goto(pathToFileURL(BuiltPage('PLQ_SIDE_PANEL_PAGE')).href);
    const seen = await page.evaluate(() => {
      const frames = document.body.children;
      const frame = frames[0];
      const attributes = {};
      for (const attribute of frame.attributes) attributes[attribute.name] = attribute.value;
      const box = frame.getBoundingClientRect();
      return {
        charset: document.characterSet,
        title: document.title,
        children: frames.length,
        tag: frame.tagName,
        text: document.body.textContent.trim(),
        attributes,
        size: [box.width, box.height, frame.clientWidth, frame.clientHeight],
      };
    });
    const address = WidgetAddress();
    assert.deepEqual(seen, {
      charset: 'GBK',
      title: '新建网页 1',
      children: 1,
      tag: 'IFRAME',
      text: '',
      attributes: {
        name: 'alimamaifrm',
        frameborder: '0',
        marginheight: '0',
        marginwidth: '0',
        border: '0',
        scrolling: 'no',
        width: '160',
        height: '460',
        src: address,
      },
      size: [160, 460, 160, 460],
    });
    assert.deepEqual(requests, [address], 'the frame asks for the widget address alone');
    await context.close();
  });
});

test('the widget address carries its query in order', () => {
  const url = new URL(WidgetAddress());
  assert.equal(url.pathname, '/interface_v2.php');
  assert.match(url.hostname, /(^|\.)example\.com$/);
  assert.deepEqual(
    [...url.searchParams.keys()],
    'pid type f ie from unid name trtp up goodsFilter sw sh sn bgc bc fc tc cat_ids'.split(' '),
  );
  assert.equal(url.searchParams.get('name'), '今日关注飙升');
  assert.match(url.searchParams.get('pid'), /^mm_\d+_\d+_\d+$/);
});
