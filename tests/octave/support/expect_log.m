function expect_log(varargin)
  % expect_log(text, ...): each text occurs in "logfile.tmp".
  log = log_text();
  for k = 1:numel(varargin)
    expect(~isempty(strfind(log, varargin{k})), 'the log lacks "%s"', varargin{k});
  end
end
