-- Neovim's own LSP client against velmora-lsp, headless: on the sample
-- project, the call hierarchy of greet (incoming and outgoing calls) and the
-- definition of the call greet(argv[0]) in main.c. Writes "OK" or the
-- failures, one per line, to the file named by VELMORA_NVIM_RESULT.
local lsp_program = os.getenv('VELMORA_LSP')
local root = os.getenv('VELMORA_ROOT')
local ini = os.getenv('VELMORA_INI')
local out = os.getenv('VELMORA_NVIM_RESULT')
local failures = {}
local function check(ok, what)
  if not ok then table.insert(failures, what) end
end
local function finish()
  local f = io.open(out, 'w')
  f:write(#failures == 0 and 'OK\n' or table.concat(failures, '\n') .. '\n')
  f:close()
  vim.cmd('qall!')
end

-- vim.lsp.start (Neovim 0.8 and later) is start_client and buf_attach_client
-- together; Debian 12 has 0.7, so the two are called here.
local id = vim.lsp.start_client({ name = 'velmora', cmd = { lsp_program, '--ini', ini },
                                  root_dir = root })
check(id ~= nil, 'the client did not start')
vim.cmd('edit ' .. root .. '/main.c')
vim.lsp.buf_attach_client(0, id)
local ready = vim.wait(60000, function()
  local c = vim.lsp.get_client_by_id(id)
  return c ~= nil and c.initialized
end, 20)
check(ready, 'the server was not initialized')

local uri = vim.uri_from_bufnr(0)
local function ask(method, params)
  local res = vim.lsp.buf_request_sync(0, method, params, 60000)
  if not res or not res[id] then return nil, 'no answer to ' .. method end
  if res[id].err then return nil, method .. ': ' .. vim.inspect(res[id].err) end
  return res[id].result
end

-- main.c line 17 (0-based): "    greet(argv[0]);"
local at = { textDocument = { uri = uri }, position = { line = 17, character = 5 } }
local items, err = ask('textDocument/prepareCallHierarchy', at)
check(items and #items == 1 and items[1].name == 'greet', err or 'prepare: ' .. vim.inspect(items))
if items and items[1] then
  local incoming, e1 = ask('callHierarchy/incomingCalls', { item = items[1] })
  check(incoming and #incoming == 1 and incoming[1].from.name == 'main',
        e1 or 'incoming: ' .. vim.inspect(incoming))
  local outgoing, e2 = ask('callHierarchy/outgoingCalls', { item = items[1] })
  local names = {}
  for _, o in ipairs(outgoing or {}) do table.insert(names, o.to.name) end
  check(table.concat(names, ',') == 'message,printf,puts', e2 or 'outgoing: ' .. vim.inspect(names))
end
local def, e3 = ask('textDocument/definition', at)
check(def and #def == 1 and def[1].uri:match('sjis/greet%.c$') and def[1].range.start.line == 10,
      e3 or 'definition: ' .. vim.inspect(def))
vim.lsp.stop_client(id)
vim.wait(10000, function() return vim.lsp.get_client_by_id(id) == nil end, 20)
finish()
