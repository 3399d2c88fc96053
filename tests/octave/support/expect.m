function expect(condition, varargin)
  % expect(condition, format, ...): fails the test with the formatted
  % message when condition is not all true.
  if ~(islogical(condition) || isnumeric(condition)) || isempty(condition) || ~all(condition(:))
    error('test:failed', ['expectation failed: ' varargin{1}], varargin{2:end});
  end
end
