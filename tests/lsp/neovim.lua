-- Neovim (0.7 and later) as the editor of a module: starts `ostrak lsp` as its language server,
-- opens the document module's file and waits for the server's diagnostics, then asks for the
-- definition of the call on line 4. Prints "OK ..." lines, or "FAIL: ..." ones; quits with status 1
-- on a failure.
--   OSTRAK=... FOLDER=... nvim --headless -u NONE -c "luafile neovim.lua"
local ostrak, folder = vim.env.OSTRAK, vim.env.FOLDER
local failed = 0
local function check(ok, what, detail)
  if ok then
    io.stdout:write('OK ' .. what .. '\n')
  else
    failed = failed + 1
    io.stdout:write('FAIL: ' .. what .. (detail and ('\n    ' .. vim.inspect(detail)) or '') .. '\n')
  end
end

local client = vim.lsp.start_client({
  name = 'ostrak',
  cmd = { ostrak, 'lsp' },
  root_dir = folder,
  workspace_folders = { { uri = vim.uri_from_fname(folder), name = 'folder' } },
})
check(client ~= nil, 'the server starts')
vim.cmd('edit ' .. vim.fn.fnameescape(folder .. '/Документы/РасходнаяНакладная/Модуль документа.txt'))
local buffer = vim.api.nvim_get_current_buf()
vim.lsp.buf_attach_client(buffer, client)

local arrived = vim.wait(20000, function() return #vim.diagnostic.get(buffer) > 0 end, 50)
local diagnostics = vim.diagnostic.get(buffer)
check(arrived, 'diagnostics arrive')
local lines = {}
for _, d in ipairs(diagnostics) do table.insert(lines, d.lnum) end
table.sort(lines)
check(vim.deep_equal(lines, { 3, 7, 9 }), 'diagnostics on lines 4, 8 and 10', diagnostics)

local answers = vim.lsp.buf_request_sync(buffer, 'textDocument/definition',
  { textDocument = { uri = vim.uri_from_bufnr(buffer) }, position = { line = 3, character = 3 } }, 20000)
local location
for _, answer in pairs(answers or {}) do location = answer.result end
if location and location[1] then location = location[1] end
check(location and vim.uri_to_fname(location.uri):match('Глобальный модуль%.txt$') and location.range.start.line == 2,
  'the definition of Записать is in the global module', location)

vim.lsp.stop_client(client)
vim.wait(5000, function() return vim.lsp.get_client_by_id(client) == nil end, 50)
vim.cmd((failed > 0 and 'cquit 1' or 'qall!'))
